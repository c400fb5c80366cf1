#include "ui/Theme.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QLoggingCategory>
#include <QSettings>
#include <QStyle>
#include <QStyleFactory>

#include <cmath>

Q_LOGGING_CATEGORY(lcTheme, "orvendal.ui.theme")

namespace {

const QString kKey = QStringLiteral("Config/Theme");
const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kPortalSettings = QStringLiteral("org.freedesktop.portal.Settings");
const QString kAppearance = QStringLiteral("org.freedesktop.appearance");
const QString kColorScheme = QStringLiteral("color-scheme");

// The portal wraps the value in one or two variants, depending on its version.
uint unwrap(QVariant v)
{
    while (v.canConvert<QDBusVariant>() && v.userType() == qMetaTypeId<QDBusVariant>())
        v = v.value<QDBusVariant>().variant();
    return v.toUInt();
}

double luminance(const QColor &c)
{
    auto channel = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

void setAll(QPalette &p, QPalette::ColorRole role, const QColor &active, const QColor &disabled)
{
    p.setColor(QPalette::Active, role, active);
    p.setColor(QPalette::Inactive, role, active);
    p.setColor(QPalette::Disabled, role, disabled);
}

} // namespace

Theme::Choice Theme::load(const QSettings &store)
{
    const QString v = store.value(kKey).toString();
    if (v.compare(QLatin1String("Dark"), Qt::CaseInsensitive) == 0)
        return Choice::Dark;
    if (v.compare(QLatin1String("Light"), Qt::CaseInsensitive) == 0)
        return Choice::Light;
    return Choice::System;
}

void Theme::save(QSettings &store, Choice choice)
{
    store.setValue(kKey, name(choice));
}

QString Theme::name(Choice choice)
{
    switch (choice) {
    case Choice::Light:
        return QStringLiteral("Light");
    case Choice::Dark:
        return QStringLiteral("Dark");
    case Choice::System:
        break;
    }
    return QStringLiteral("System");
}

QPalette Theme::lightPalette()
{
    QPalette p;
    const QColor text(20, 20, 20), disabled(110, 110, 110);
    setAll(p, QPalette::Window, QColor(240, 240, 240), QColor(240, 240, 240));
    setAll(p, QPalette::WindowText, text, disabled);
    setAll(p, QPalette::Base, Qt::white, QColor(240, 240, 240));
    setAll(p, QPalette::AlternateBase, QColor(245, 245, 245), QColor(245, 245, 245));
    setAll(p, QPalette::Text, text, disabled);
    setAll(p, QPalette::Button, QColor(230, 230, 230), QColor(230, 230, 230));
    setAll(p, QPalette::ButtonText, text, disabled);
    setAll(p, QPalette::PlaceholderText, QColor(100, 100, 100), disabled);
    setAll(p, QPalette::ToolTipBase, QColor(255, 255, 220), QColor(255, 255, 220));
    setAll(p, QPalette::ToolTipText, text, disabled);
    setAll(p, QPalette::Highlight, QColor(0, 90, 180), QColor(200, 200, 200));
    setAll(p, QPalette::HighlightedText, Qt::white, disabled);
    setAll(p, QPalette::Link, QColor(0, 80, 170), QColor(0, 80, 170));
    setAll(p, QPalette::BrightText, Qt::red, Qt::red);
    return p;
}

QPalette Theme::darkPalette()
{
    QPalette p;
    const QColor text(232, 232, 232), disabled(140, 140, 140);
    setAll(p, QPalette::Window, QColor(40, 42, 46), QColor(40, 42, 46));
    setAll(p, QPalette::WindowText, text, disabled);
    setAll(p, QPalette::Base, QColor(28, 29, 32), QColor(40, 42, 46));
    setAll(p, QPalette::AlternateBase, QColor(36, 38, 42), QColor(36, 38, 42));
    setAll(p, QPalette::Text, text, disabled);
    setAll(p, QPalette::Button, QColor(55, 58, 64), QColor(50, 52, 56));
    setAll(p, QPalette::ButtonText, text, disabled);
    setAll(p, QPalette::PlaceholderText, QColor(160, 160, 160), disabled);
    setAll(p, QPalette::ToolTipBase, QColor(55, 58, 64), QColor(55, 58, 64));
    setAll(p, QPalette::ToolTipText, text, disabled);
    setAll(p, QPalette::Highlight, QColor(70, 130, 210), QColor(70, 72, 76));
    setAll(p, QPalette::HighlightedText, Qt::black, disabled);
    setAll(p, QPalette::Link, QColor(120, 180, 255), QColor(120, 180, 255));
    setAll(p, QPalette::BrightText, QColor(255, 110, 110), QColor(255, 110, 110));
    setAll(p, QPalette::Light, QColor(80, 84, 90), QColor(80, 84, 90));
    setAll(p, QPalette::Midlight, QColor(66, 69, 75), QColor(66, 69, 75));
    setAll(p, QPalette::Mid, QColor(48, 50, 54), QColor(48, 50, 54));
    setAll(p, QPalette::Dark, QColor(20, 21, 23), QColor(20, 21, 23));
    setAll(p, QPalette::Shadow, Qt::black, Qt::black);
    return p;
}

double Theme::contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

Theme::Theme(QObject *parent)
    : QObject(parent)
    , m_platformStyle(QApplication::style() ? QApplication::style()->name() : QString())
    , m_platformPalette(QApplication::palette())
{
}

void Theme::apply(Choice choice)
{
    m_choice = choice;
    if (choice == Choice::System) {
        use(false, true);
        askPortal();
        return;
    }
    use(choice == Choice::Dark, false);
}

void Theme::use(bool dark, bool platformDefault)
{
    if (platformDefault) {
        if (!m_platformStyle.isEmpty())
            QApplication::setStyle(QStyleFactory::create(m_platformStyle));
        QApplication::setPalette(m_platformPalette);
    } else {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(dark ? darkPalette() : lightPalette());
    }
    m_dark = dark;
    emit changed(dark);
}

void Theme::askPortal()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return; // no desktop session: the platform's colours stay
    if (!m_listening) {
        m_listening = bus.connect(kPortalService, kPortalPath, kPortalSettings, QStringLiteral("SettingChanged"), this,
                                  SLOT(portalChanged(QString,QString,QDBusVariant)));
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kPortalSettings, QStringLiteral("Read"));
    call << kAppearance << kColorScheme;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *w;
        if (reply.isError()) {
            qCInfo(lcTheme) << "the desktop's colour setting is not known:" << reply.error().message();
            return;
        }
        portalSetting(unwrap(QVariant::fromValue(reply.value())));
    });
}

void Theme::portalChanged(const QString &group, const QString &key, const QDBusVariant &value)
{
    if (group == kAppearance && key == kColorScheme)
        portalSetting(unwrap(value.variant()));
}

void Theme::portalSetting(uint colorScheme)
{
    if (m_choice != Choice::System)
        return;
    // 1: the desktop prefers dark; 2: light; 0: no preference.
    if (colorScheme == 1)
        use(true, false);
    else
        use(false, true);
}

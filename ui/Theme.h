#pragma once

#include <QObject>
#include <QPalette>
#include <QString>

class QDBusVariant;
class QSettings;

// View, Theme: the program's colours. Light and Dark are the Fusion style
// with palettes of our own; System follows the desktop's dark setting as
// the freedesktop settings portal tells it, and otherwise keeps the style
// and colours the platform gave the program.
class Theme : public QObject
{
    Q_OBJECT
public:
    enum class Choice { System, Light, Dark };

    static Choice load(const QSettings &store);
    static void save(QSettings &store, Choice choice);
    static QString name(Choice choice); // "System", "Light", "Dark"

    static QPalette lightPalette();
    static QPalette darkPalette();
    // WCAG contrast ratio of two colours (1 to 21).
    static double contrast(const QColor &a, const QColor &b);

    explicit Theme(QObject *parent = nullptr);

    Choice choice() const { return m_choice; }
    bool isDark() const { return m_dark; }
    // Applies at once; with System, the portal's answer follows when it comes.
    void apply(Choice choice);

signals:
    void changed(bool dark);

private slots:
    // The portal's signal when the desktop's setting changes.
    void portalChanged(const QString &group, const QString &key, const QDBusVariant &value);

private:
    void askPortal();
    void portalSetting(uint colorScheme);
    void use(bool dark, bool platformDefault);

    Choice m_choice = Choice::System;
    bool m_dark = false;
    QString m_platformStyle;
    QPalette m_platformPalette;
    bool m_listening = false;
};

#include "ui/AboutDialog.h"

#include "data/AppInfo.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

AboutDialog::AboutDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(tr("About Orvendal"));
    setModal(true);

    auto *layout = new QVBoxLayout(this);
    auto addLabel = [this, layout](const char *name, const QString &text, qreal points, bool bold) {
        auto *label = new QLabel(text, this);
        label->setObjectName(QLatin1String(name));
        label->setWordWrap(true);
        QFont font = label->font();
        font.setPointSizeF(points);
        font.setBold(bold);
        label->setFont(font);
        layout->addWidget(label);
        return label;
    };
    addLabel("lblTitle", QStringLiteral("Orvendal"), 16, true);
    m_version = addLabel("lblVersion", versionText(), 9, false);
    addLabel("lblDescription",
             tr("Control program for the VKS-4410 trunking scanner: a live front panel, "
                "a channel database, backup and restore of the scanner's memory and a talkgroup log."),
             9, false);
    addLabel("lblDisclaimer", tr("Use the scanner in accordance with the laws of your country."), 8, false);

    auto *ok = new QPushButton(tr("&OK"), this);
    ok->setObjectName(QStringLiteral("cmdOk"));
    ok->setDefault(true);
    ok->setAutoDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignRight);
    // Escape rejects the dialog, which closes it just as OK does.

    adjustSize();
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move((area.width() - width()) / 2, (area.height() - height()) / 2);
    }
}

QString AboutDialog::versionText()
{
    return QStringLiteral("Version ") + AppInfo::version() + QStringLiteral("\u00df  -  Nov. 29, 2000");
}

QString AboutDialog::versionLabelText() const
{
    return m_version->text();
}

void AboutDialog::showModal(QWidget *parent)
{
    AboutDialog dialog(parent);
    dialog.exec();
}

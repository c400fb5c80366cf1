#include "ui/SplashWindow.h"

#include "data/AppInfo.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

SplashWindow::SplashWindow(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::StrongFocus);

    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setFrameShape(QFrame::Box);
    frame->setLineWidth(2);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);

    auto *layout = new QVBoxLayout(frame);
    layout->setContentsMargins(24, 18, 24, 18);
    layout->setSpacing(8);

    auto addLabel = [&](const char *name, const QString &text, qreal points, bool bold) {
        auto *label = new QLabel(text, frame);
        label->setObjectName(QLatin1String(name));
        QFont font = label->font();
        font.setPointSizeF(points);
        font.setBold(bold);
        label->setFont(font);
        label->setAlignment(Qt::AlignCenter);
        layout->addWidget(label);
        return label;
    };
    addLabel("lblCompanyProduct", QStringLiteral("Valkes Communications"), 10, false);
    addLabel("lblProductName", QStringLiteral("Orvendal"), 26, true);
    addLabel("lblPlatform", QStringLiteral("Control program for the VKS-4410 trunking scanner"), 11, false);
    m_version = addLabel("lblVersion", versionText(), 10, false);
    addLabel("lblWarning", QStringLiteral("Connect the scanner in PC control mode before starting."), 9, false);
    addLabel("lblCopyright", QStringLiteral("Copyright \u00a9 Orvendal developers"), 9, false);
}

QString SplashWindow::versionText()
{
    return QStringLiteral("Version ") + AppInfo::version() + QStringLiteral("\u00df  -  ") + AppInfo::versionComment();
}

QString SplashWindow::versionLabelText() const
{
    return m_version->text();
}

void SplashWindow::keyPressEvent(QKeyEvent *event)
{
    event->accept();
    close();
}

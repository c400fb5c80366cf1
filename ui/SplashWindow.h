#pragma once

#include <QWidget>

class QLabel;

// frmSplash: shown for a few seconds at start-up. Any key closes it at once.
class SplashWindow : public QWidget
{
    Q_OBJECT
public:
    explicit SplashWindow(QWidget *parent = nullptr);

    // "Version 1.15.24ß  -  Jan 11, 2001"
    static QString versionText();
    QString versionLabelText() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QLabel *m_version;
};

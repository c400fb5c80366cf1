#pragma once

#include <QDialog>

class QLabel;

// frmAbout: the program's name, version and notices. Made anew for each
// showing; OK, Enter and Escape close it.
class AboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget *parent = nullptr);

    // "Version 1.15.24ß  -  Nov. 29, 2000"
    static QString versionText();
    QString versionLabelText() const;

    // Shows a new about box modally and releases it when it closes.
    static void showModal(QWidget *parent);

private:
    QLabel *m_version;
};

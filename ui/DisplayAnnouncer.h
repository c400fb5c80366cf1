#pragma once

#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <QString>

class DisplayModel;
class QWidget;

// The orange display the faceplate's fields lie on; a class of its own, so
// that assistive technology is given the display in words for it.
class DisplayFace : public QLineEdit
{
    Q_OBJECT
public:
    DisplayFace(const DisplayModel *model, QWidget *parent);
    const DisplayModel *model() const { return m_model; }

private:
    const DisplayModel *m_model;
};

// The faceplate's display for assistive technology: a screen reader finds
// it as "Display" and reads what it shows in words, always as it is now.
// A change of channel or talkgroup is announced once; redrawing the same
// call, a search running through frequencies and flags coming and going
// are not announced.
class DisplayAnnouncer : public QObject
{
    Q_OBJECT
public:
    DisplayAnnouncer(QWidget *display, const DisplayModel *model, QObject *parent = nullptr);

    // After the display has been drawn.
    void refresh();
    int announcements() const { return m_announcements; }

private:
    QPointer<QWidget> m_display;
    const DisplayModel *m_model;
    QString m_lastKey;
    int m_announcements = 0;
};

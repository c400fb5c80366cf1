#pragma once

#include "link/Prompts.h"

#include <QWidget>

class QPlainTextEdit;
class QPushButton;
class TrafficTap;

// View, Serial Monitor: the link's traffic as the tap records it. The tap
// records only while this window is shown and not paused.
class SerialMonitorWindow : public QWidget
{
    Q_OBJECT
public:
    static const QString kCaption;

    SerialMonitorWindow(TrafficTap *tap, MessageFn message, QWidget *parent = nullptr);

    void setPaused(bool paused);
    bool isPaused() const { return m_paused; }
    void clear();
    // Writes every line the tap holds; false (the user told) on failure.
    bool saveTo(const QString &path);

    QPlainTextEdit *view() const { return m_view; }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void showNewLines();
    void saveAsked();

    TrafficTap *m_tap;
    MessageFn m_message;
    QPlainTextEdit *m_view;
    QPushButton *m_pause;
    qint64 m_shown = 0; // the tap's total when last drawn
    bool m_paused = false;
};

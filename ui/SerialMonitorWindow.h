#pragma once

#include "link/Prompts.h"

#include <QTimer>
#include <QWidget>

class QListView;
class QPushButton;
class SerialMonitorModel;
class TrafficTap;

// View, Serial Monitor: the link's traffic as the tap records it. The tap
// records only while this window is shown and not paused. New lines are
// shown in batches, a few times a second.
class SerialMonitorWindow : public QWidget
{
    Q_OBJECT
public:
    static const QString kCaption;
    static constexpr int kRefreshMillis = 250;

    SerialMonitorWindow(TrafficTap *tap, MessageFn message, QWidget *parent = nullptr);

    void setPaused(bool paused);
    bool isPaused() const { return m_paused; }
    void clear();
    // Writes every line the tap holds; false (the user told) on failure.
    bool saveTo(const QString &path);

    QListView *view() const { return m_view; }
    SerialMonitorModel *model() const { return m_model; }
    // The lines recorded since the last batch, shown now.
    void showNewLines();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void saveAsked();

    TrafficTap *m_tap;
    MessageFn m_message;
    SerialMonitorModel *m_model;
    QListView *m_view;
    QTimer m_refresh;
    QPushButton *m_pause;
    qint64 m_shown = 0; // the tap's total when last drawn
    bool m_paused = false;
};

#pragma once

#include "link/Prompts.h"

#include <QMediaPlayer>
#include <QWidget>

class QAudioOutput;
class QLabel;
class QPushButton;
class QSlider;

// Plays one recorded call at a time: Play, Stop, a position slider the user
// can move, and the time heard of the whole. A file that is missing or
// cannot be read or decoded, or a computer without a sound output, is said
// through the message function, once per attempt; nothing else happens then.
class RecordingPlayer : public QWidget
{
    Q_OBJECT
public:
    explicit RecordingPlayer(MessageFn message, QWidget *parent = nullptr);
    ~RecordingPlayer() override;

    // Before anything of Qt Multimedia runs: its FFmpeg backend where it is
    // installed and QT_MEDIA_BACKEND names none.
    static void chooseBackend();

    // Starts the file from its beginning, or goes on where it stands when it
    // is the file loaded and not playing. False (the user told) when it
    // cannot be read.
    bool play(const QString &file);
    void stop();
    // Moves to a position in milliseconds.
    void seek(qint64 millis);
    // Lets go of the file (before it is deleted).
    void release(const QString &file);

    QString file() const { return m_file; }
    // Made when something is first played (nullptr before).
    QMediaPlayer *player() const { return m_player; }
    QPushButton *playButton() const { return m_play; }
    QPushButton *stopButton() const { return m_stop; }
    QSlider *slider() const { return m_slider; }
    QLabel *timeLabel() const { return m_time; }
    // "1:05 / 2:10"
    static QString timeText(qint64 positionMillis, qint64 durationMillis);

signals:
    // Play was pressed: the window says which recording.
    void playClicked();

private:
    QMediaPlayer *ensurePlayer();
    qint64 duration() const { return m_player ? m_player->duration() : 0; }
    void showPosition(qint64 millis);
    void failed(const QString &reason);

    MessageFn m_message;
    QMediaPlayer *m_player = nullptr;
    QAudioOutput *m_output = nullptr;
    QPushButton *m_play = nullptr;
    QPushButton *m_stop = nullptr;
    QSlider *m_slider = nullptr;
    QLabel *m_time = nullptr;
    QString m_file;
    bool m_showing = false; // the slider follows the player, not the user
    bool m_said = false;    // the current file's failure was said
};

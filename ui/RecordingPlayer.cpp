#include "ui/RecordingPlayer.h"

#include "ui/ActivityWindow.h"

#include <QAudioOutput>
#include <QDir>
#include <QLibraryInfo>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QUrl>

#include <limits>

RecordingPlayer::RecordingPlayer(MessageFn message, QWidget *parent)
    : QWidget(parent)
    , m_message(std::move(message))
{
    m_play = new QPushButton(QStringLiteral("Play"), this);
    m_play->setObjectName(QStringLiteral("cmdPlay"));
    m_stop = new QPushButton(QStringLiteral("Stop"), this);
    m_stop->setObjectName(QStringLiteral("cmdStop"));
    m_stop->setEnabled(false);
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(QStringLiteral("sldPosition"));
    m_slider->setAccessibleName(QStringLiteral("Position in the recording"));
    m_slider->setEnabled(false);
    // Dragging seeks once, where the knob is let go; clicks and keys at once.
    m_slider->setTracking(false);
    m_time = new QLabel(timeText(0, 0), this);
    m_time->setObjectName(QStringLiteral("lblTime"));

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_play);
    row->addWidget(m_stop);
    row->addWidget(m_slider, 1);
    row->addWidget(m_time);

    connect(m_play, &QPushButton::clicked, this, &RecordingPlayer::playClicked);
    connect(m_stop, &QPushButton::clicked, this, &RecordingPlayer::stop);
    connect(m_slider, &QSlider::valueChanged, this, [this](int value) {
        if (!m_showing)
            seek(value);
    });
    connect(m_slider, &QSlider::sliderMoved, this, [this](int value) { m_time->setText(timeText(value, duration())); });
}

RecordingPlayer::~RecordingPlayer()
{
    if (m_player) {
        m_player->disconnect(this);
        m_player->stop();
    }
}

void RecordingPlayer::chooseBackend()
{
    // Qt's GStreamer player needs GStreamer's base and good plugins, and
    // without them it crashes as it is made; FFmpeg decodes FLAC, Ogg Opus
    // and WAV by itself.
    if (!qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        return;
    const QDir plugins(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/multimedia"));
    if (!plugins.entryList({QStringLiteral("*ffmpeg*")}, QDir::Files).isEmpty())
        qputenv("QT_MEDIA_BACKEND", "ffmpeg");
}

QMediaPlayer *RecordingPlayer::ensurePlayer()
{
    if (m_player)
        return m_player;
    m_player = new QMediaPlayer(this);
    m_output = new QAudioOutput(this);
    m_player->setAudioOutput(m_output);
    connect(m_player, &QMediaPlayer::durationChanged, this, [this](qint64 millis) {
        m_showing = true;
        m_slider->setRange(0, int(qMin<qint64>(millis, std::numeric_limits<int>::max())));
        m_showing = false;
        showPosition(m_player->position());
    });
    connect(m_player, &QMediaPlayer::positionChanged, this, &RecordingPlayer::showPosition);
    connect(m_player, &QMediaPlayer::playbackStateChanged, this, [this](QMediaPlayer::PlaybackState state) {
        m_stop->setEnabled(state != QMediaPlayer::StoppedState);
    });
    connect(m_player, &QMediaPlayer::errorOccurred, this, [this](QMediaPlayer::Error error, const QString &text) {
        if (error != QMediaPlayer::NoError)
            failed(text.isEmpty() ? QStringLiteral("it cannot be decoded") : text);
    });
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::InvalidMedia)
            failed(QStringLiteral("it is not a sound file this program can play"));
    });
    return m_player;
}

QString RecordingPlayer::timeText(qint64 positionMillis, qint64 durationMillis)
{
    auto text = [](qint64 millis) {
        const qint64 s = qMax<qint64>(0, millis) / 1000;
        return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
    };
    return text(positionMillis) + QStringLiteral(" / ") + text(durationMillis);
}

bool RecordingPlayer::play(const QString &file)
{
    if (file.isEmpty())
        return false;
    m_said = false;
    if (m_player && file == m_file && m_player->playbackState() != QMediaPlayer::PlayingState
        && m_player->mediaStatus() != QMediaPlayer::InvalidMedia && m_player->error() == QMediaPlayer::NoError
        && QFileInfo::exists(file)) {
        m_player->play();
        return true;
    }
    // Asked of the file first: the player's own word on a missing file
    // comes late and differs from one system to the next.
    QFile probe(file);
    QString reason;
    if (!QFileInfo::exists(file))
        reason = QStringLiteral("the file is missing");
    else if (!probe.open(QIODevice::ReadOnly))
        reason = probe.errorString();
    else if (probe.size() == 0)
        reason = QStringLiteral("the file is empty");
    else if (QMediaDevices::audioOutputs().isEmpty())
        reason = QStringLiteral("there is no sound output to play it on"); // (the player would crash)
    probe.close();
    m_file = file;
    if (!reason.isEmpty()) {
        if (m_player)
            m_player->setSource(QUrl()); // stops it
        failed(reason);
        return false;
    }
    ensurePlayer()->setSource(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()));
    if (m_said)
        return false; // refused as it was loaded (said already)
    m_slider->setEnabled(true);
    m_player->play();
    return true;
}

void RecordingPlayer::stop()
{
    if (m_player)
        m_player->stop();
    showPosition(0);
}

void RecordingPlayer::seek(qint64 millis)
{
    if (!m_player || m_player->source().isEmpty())
        return;
    m_player->setPosition(qBound<qint64>(0, millis, qMax<qint64>(0, m_player->duration())));
}

void RecordingPlayer::release(const QString &file)
{
    if (file != m_file)
        return;
    if (m_player) {
        m_player->stop();
        m_player->setSource(QUrl());
    }
    m_file.clear();
    m_slider->setEnabled(false);
    showPosition(0);
}

void RecordingPlayer::showPosition(qint64 millis)
{
    if (!m_slider->isSliderDown()) {
        m_showing = true;
        m_slider->setValue(int(qMin<qint64>(millis, m_slider->maximum())));
        m_showing = false;
    }
    m_time->setText(timeText(millis, duration()));
}

void RecordingPlayer::failed(const QString &reason)
{
    if (m_said)
        return;
    m_said = true;
    m_slider->setEnabled(false);
    if (m_player)
        m_player->stop();
    if (m_message) {
        m_message(MessageKind::Warning, ActivityWindow::kCaption,
                  QStringLiteral("The recording %1 cannot be played: %2.")
                      .arg(QDir::toNativeSeparators(m_file), reason));
    }
}

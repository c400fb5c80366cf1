#pragma once

#include "recording/AudioInput.h"

#include <QAudioDevice>
#include <QList>
#include <QTimer>
#include <QIODevice>

#include <memory>

class QAudioSource;
class QMediaDevices;

// A sound card input through Qt Multimedia. The device is picked by id (the
// system's default for an empty id). When it disappears, capture stops and
// lost() is said once; when it is listed again capture starts by itself and
// returned() is said.
class QtAudioInput : public AudioInput
{
    Q_OBJECT
public:
    struct Device
    {
        QString id;
        QString description;
        bool isDefault = false;
    };
    // Every input the system lists.
    static QList<Device> inputs();

    explicit QtAudioInput(const QString &deviceId, QObject *parent = nullptr);
    ~QtAudioInput() override;

    bool start(QString *error) override;
    void stop() override;
    bool isActive() const override { return m_source != nullptr; }
    bool isLost() const { return m_lost; }

    // How often the device list is looked at as well (not every back end
    // says when it changes).
    static constexpr int kWatchMillis = 1000;

private:
    bool open(QString *error);
    void close();
    void devicesChanged();
    void sourceFailed();
    QAudioDevice find() const;

    QString m_id;
    bool m_wanted = false; // started and not stopped
    bool m_lost = false;
    std::unique_ptr<QMediaDevices> m_devices;
    QTimer m_watch;
    std::unique_ptr<QAudioSource> m_source;
    std::unique_ptr<QIODevice> m_sink;
};

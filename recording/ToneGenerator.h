#pragma once

#include "recording/AudioInput.h"

#include <QElapsedTimer>
#include <QTimer>

#include <random>

// A sound card stand-in for the demo and the tests: silence, and while the
// gate is open (the simulated squelch) a tone whose pitch follows the call's
// key (a talkgroup or channel), or a noise burst for an empty key. Samples
// come in real time, a block every kBlockMillis.
class ToneGenerator : public AudioInput
{
    Q_OBJECT
public:
    static constexpr int kBlockMillis = 20;
    static constexpr double kAmplitude = 0.5;

    explicit ToneGenerator(QObject *parent = nullptr);

    bool start(QString *error) override;
    void stop() override;
    bool isActive() const override { return m_timer.isActive(); }

    // The tone for a key: 400 to 2300 Hz in steps of 100.
    static int frequencyFor(const QString &key);

    // Opens the gate with the key's tone; closes it.
    void open(const QString &key);
    void close();
    bool isOpen() const { return m_open; }
    // Like a device unplugged and plugged in again.
    void simulateLoss(const QString &reason);
    void simulateReturn();

private:
    void produce();

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_produced = 0; // samples since start()
    double m_phase = 0.0;
    int m_frequency = 0;   // 0: noise
    bool m_open = false;
    bool m_lost = false;
    std::minstd_rand m_noise;
};

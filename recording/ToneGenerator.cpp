#include "recording/ToneGenerator.h"

#include <QHash>

#include <cmath>
#include <numbers>

ToneGenerator::ToneGenerator(QObject *parent)
    : AudioInput(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ToneGenerator::produce);
}

bool ToneGenerator::start(QString *)
{
    m_produced = 0;
    m_clock.start();
    m_timer.start(kBlockMillis);
    m_lost = false;
    return true;
}

void ToneGenerator::stop()
{
    m_timer.stop();
}

int ToneGenerator::frequencyFor(const QString &key)
{
    // A stable pitch per key, not the seeded qHash.
    quint32 h = 0;
    for (const QChar c : key)
        h = h * 31 + c.unicode();
    return 400 + int(h % 20) * 100;
}

void ToneGenerator::open(const QString &key)
{
    m_frequency = key.isEmpty() ? 0 : frequencyFor(key);
    m_open = true;
}

void ToneGenerator::close()
{
    m_open = false;
}

void ToneGenerator::simulateLoss(const QString &reason)
{
    m_timer.stop();
    m_lost = true;
    emit lost(reason);
}

void ToneGenerator::simulateReturn()
{
    if (!m_lost)
        return;
    start(nullptr);
    emit returned();
}

void ToneGenerator::produce()
{
    const qint64 due = m_clock.elapsed() * kSampleRate / 1000;
    const qint64 n = due - m_produced;
    if (n <= 0)
        return;
    QByteArray block(n * qsizetype(sizeof(qint16)), Qt::Uninitialized);
    auto *s = reinterpret_cast<qint16 *>(block.data());
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    const double step = 2.0 * std::numbers::pi * m_frequency / kSampleRate;
    for (qint64 i = 0; i < n; ++i) {
        double v = 0.0;
        if (m_open) {
            v = m_frequency ? std::sin(m_phase) : noise(m_noise);
            m_phase = std::fmod(m_phase + step, 2.0 * std::numbers::pi);
        }
        s[i] = qint16(std::lround(v * kAmplitude * 32767.0));
    }
    m_produced = due;
    deliver(block);
}

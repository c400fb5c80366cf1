#include "recording/AudioInput.h"

#include <QMetaMethod>

#include <cmath>

double AudioInput::rms(const QByteArray &samples)
{
    const qsizetype n = samples.size() / qsizetype(sizeof(qint16));
    if (n == 0)
        return 0.0;
    const auto *s = reinterpret_cast<const qint16 *>(samples.constData());
    double sum = 0.0;
    for (qsizetype i = 0; i < n; ++i)
        sum += double(s[i]) * double(s[i]);
    return std::sqrt(sum / double(n)) / 32768.0;
}

void AudioInput::deliver(const QByteArray &samples)
{
    if (samples.isEmpty())
        return;
    emit captured(samples);
    if (isSignalConnected(QMetaMethod::fromSignal(&AudioInput::level)))
        emit level(rms(samples));
}

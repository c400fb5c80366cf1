#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// Where the recorder's sound comes from: 16-bit signed samples, mono, at
// kSampleRate, delivered in blocks as they are captured. Nothing is opened
// before start().
class AudioInput : public QObject
{
    Q_OBJECT
public:
    static constexpr int kSampleRate = 16000;

    using QObject::QObject;

    // Opens the input; false with *error when it cannot be.
    virtual bool start(QString *error) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;

    // The root mean square of a block of samples, 0..1 of full scale.
    static double rms(const QByteArray &samples);

signals:
    // Samples captured now (native-endian qint16).
    void captured(const QByteArray &samples);
    // The level of each block, for a meter.
    void level(double rms);
    // The input went away (a device unplugged); capture stops until
    // returned() says it is back and capturing again.
    void lost(const QString &reason);
    void returned();

protected:
    // Subclasses hand each block here.
    void deliver(const QByteArray &samples);
};

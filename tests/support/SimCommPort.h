#pragma once

#include "link/CommPort.h"
#include "sim/ScannerEngine.h"
#include "sim/SimLink.h"

// A serial control wired straight to the simulated scanner, in-process.
class SimCommPort : public CommPort
{
    Q_OBJECT
public:
    explicit SimCommPort(QObject *parent = nullptr);

    ScannerEngine &engine() { return m_engine; }
    SimLink &link() { return m_link; }

protected:
    bool openDevice(const QString &device, const SerialSettings &settings, QString *error) override;
    void closeDevice() override {}
    bool applySettings(const SerialSettings &) override { return true; }
    void writeDevice(const QByteArray &bytes) override { m_link.receive(bytes); }
    QByteArray readDevice() override;

private:
    ScannerEngine m_engine;
    SimLink m_link;
    QByteArray m_incoming;
};

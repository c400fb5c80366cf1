#include "link/SerialDevices.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

namespace SerialDevices {

QList<QPair<QString, QString>> stableNames(const QString &byIdFolder)
{
    QList<QPair<QString, QString>> names;
    const QDir dir(byIdFolder);
    for (const QFileInfo &link : dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString target = link.canonicalFilePath();
        if (!target.isEmpty())
            names.append({target, link.absoluteFilePath()});
    }
    return names;
}

QList<SerialDevice> available(const QString &byIdFolder)
{
    const QList<QPair<QString, QString>> stable = stableNames(byIdFolder);
    QList<SerialDevice> devices;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        SerialDevice d;
        d.systemLocation = info.systemLocation();
        d.description = info.description();
        d.manufacturer = info.manufacturer();
        d.serialNumber = info.serialNumber();
        if (info.hasVendorIdentifier() && info.hasProductIdentifier()) {
            d.usbIds = QStringLiteral("%1:%2")
                           .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                           .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'));
        }
        const QString canonical = QFileInfo(d.systemLocation).canonicalFilePath();
        for (const auto &[target, name] : stable) {
            if (target == canonical) {
                d.stableName = name;
                break;
            }
        }
        devices.append(d);
    }
    std::sort(devices.begin(), devices.end(),
              [](const SerialDevice &a, const SerialDevice &b) { return a.systemLocation < b.systemLocation; });
    return devices;
}

} // namespace SerialDevices

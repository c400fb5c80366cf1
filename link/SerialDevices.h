#pragma once

#include <QList>
#include <QString>

// The serial ports this machine has, described for a person choosing one.
struct SerialDevice
{
    QString systemLocation; // "/dev/ttyUSB0"
    QString description;
    QString manufacturer;
    QString serialNumber;
    QString usbIds;         // "067b:2303", empty when not a USB device
    QString stableName;     // "/dev/serial/by-id/usb-...", empty when there is none

    // What to store for it: the stable name where there is one, since a USB
    // adapter's ttyUSBn changes with the order things are plugged in.
    QString preferredName() const { return stableName.isEmpty() ? systemLocation : stableName; }
};

namespace SerialDevices {

// Every port the system reports, in name order. byIdFolder is where stable
// names are looked for (/dev/serial/by-id on Linux).
QList<SerialDevice> available(const QString &byIdFolder = QStringLiteral("/dev/serial/by-id"));

// The stable names in a folder of links, by the device each points at.
QList<QPair<QString, QString>> stableNames(const QString &byIdFolder);

} // namespace SerialDevices

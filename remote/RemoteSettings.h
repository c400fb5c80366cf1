#pragma once

#include <QString>

class QSettings;

// The web front panel's choices in the settings store: off by default, on
// 127.0.0.1 and RemoteServer::kDefaultPort until the user picks an
// interface and a port.
namespace RemoteSettings {

struct Choice
{
    bool enabled = false;
    QString address; // an IP address of this machine
    quint16 port = 0;
};

Choice load(QSettings &store);
void save(QSettings &store, const Choice &choice);

} // namespace RemoteSettings

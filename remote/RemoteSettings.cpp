#include "remote/RemoteSettings.h"

#include "remote/RemoteServer.h"

#include <QHostAddress>
#include <QSettings>

namespace RemoteSettings {

namespace {
const QString kEnabled = QStringLiteral("Config/Remote_Enabled");
const QString kAddress = QStringLiteral("Config/Remote_Address");
const QString kPort = QStringLiteral("Config/Remote_Port");
} // namespace

Choice load(QSettings &store)
{
    Choice c;
    c.enabled = store.value(kEnabled, false).toBool();
    // A hand-edited value that is no address or port falls back to the default.
    const QString address = store.value(kAddress).toString();
    c.address = QHostAddress(address).isNull() ? QStringLiteral("127.0.0.1") : address;
    bool ok = false;
    const uint port = store.value(kPort).toUInt(&ok);
    c.port = ok && port > 0 && port <= 65535 ? quint16(port) : RemoteServer::kDefaultPort;
    return c;
}

void save(QSettings &store, const Choice &choice)
{
    store.setValue(kEnabled, choice.enabled);
    store.setValue(kAddress, choice.address);
    store.setValue(kPort, choice.port);
    store.sync();
}

} // namespace RemoteSettings

#include "sim/PtyHost.h"

#include "sim/SimLink.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

PtyHost::PtyHost(SimLink *link, QObject *parent)
    : QObject(parent)
    , m_link(link)
{
    connect(m_link, &SimLink::transmit, this, &PtyHost::writeMaster);
}

PtyHost::~PtyHost()
{
    close();
}

bool PtyHost::open(const QString &linkPath, QString *error)
{
    close();
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        close();
        return false;
    }
    m_slaveName = QString::fromLocal8Bit(::ptsname(m_master));

    // Hold the slave side open ourselves, so the master never sees a hang-up
    // while the program has the port closed, and make the line raw: no echo,
    // no translation of carriage returns.
    m_slaveKeeper = ::open(m_slaveName.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_slaveKeeper < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        close();
        return false;
    }
    termios tio{};
    if (::tcgetattr(m_slaveKeeper, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(m_slaveKeeper, TCSANOW, &tio);
    }

    if (!linkPath.isEmpty()) {
        QFile::remove(linkPath);
        if (::symlink(m_slaveName.toLocal8Bit().constData(), linkPath.toLocal8Bit().constData()) != 0) {
            *error = QStringLiteral("cannot link %1: %2").arg(linkPath, QString::fromLocal8Bit(std::strerror(errno)));
            close();
            return false;
        }
        m_linkPath = linkPath;
    }

    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyHost::readMaster);
    return true;
}

void PtyHost::close()
{
    delete m_notifier;
    m_notifier = nullptr;
    if (!m_linkPath.isEmpty()) {
        QFile::remove(m_linkPath);
        m_linkPath.clear();
    }
    if (m_slaveKeeper >= 0)
        ::close(m_slaveKeeper);
    if (m_master >= 0)
        ::close(m_master);
    m_slaveKeeper = m_master = -1;
}

void PtyHost::readMaster()
{
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            m_link->receive(QByteArray(buffer, int(n)));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return; // EAGAIN: all read
    }
}

void PtyHost::writeMaster(const QByteArray &bytes)
{
    if (m_master < 0)
        return;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return; // the terminal's buffer is full: the bytes are lost, as on a real line
        }
    }
}

#include "link/TerminationSignals.h"

#include "link/CommPort.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
// The write end for the handler; -1 while no instance is installed.
volatile sig_atomic_t s_writeFd = -1;
struct sigaction s_previous[std::size(kSignals)];

QString lastError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
{
}

TerminationSignals::~TerminationSignals()
{
    restore();
}

bool TerminationSignals::install(QString *error)
{
    if (m_installed)
        return true;
    if (s_writeFd >= 0) {
        if (error)
            *error = QStringLiteral("the termination signals are taken already");
        return false;
    }
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, m_fds) != 0) {
        if (error)
            *error = lastError();
        return false;
    }
    // A flood of signals must never block the handler: bytes that do not fit
    // are dropped, one is enough.
    ::fcntl(m_fds[0], F_SETFL, ::fcntl(m_fds[0], F_GETFL) | O_NONBLOCK);
    ::fcntl(m_fds[1], F_SETFL, ::fcntl(m_fds[1], F_GETFL) | O_NONBLOCK);
    m_notifier = new QSocketNotifier(m_fds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readPipe);
    s_writeFd = m_fds[0];

    struct sigaction action = {};
    action.sa_handler = &TerminationSignals::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        if (::sigaction(kSignals[i], &action, &s_previous[i]) != 0) {
            if (error)
                *error = lastError();
            for (std::size_t j = 0; j < i; ++j)
                ::sigaction(kSignals[j], &s_previous[j], nullptr);
            s_writeFd = -1;
            closePair();
            return false;
        }
    }
    m_installed = true;
    return true;
}

void TerminationSignals::handle(int signalNumber)
{
    // Only what is safe in a signal handler: one write, errno kept.
    const int saved = errno;
    const char byte = char(signalNumber);
    const int fd = s_writeFd;
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
    errno = saved;
}

void TerminationSignals::readPipe()
{
    char bytes[64];
    ssize_t n;
    while ((n = ::read(m_fds[1], bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            qCInfo(lcLink) << "signal" << int(bytes[i]) << "received";
            emit received(int(bytes[i]));
        }
    }
}

void TerminationSignals::restore()
{
    if (!m_installed)
        return;
    m_installed = false;
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &s_previous[i], nullptr);
    s_writeFd = -1;
    closePair();
}

void TerminationSignals::closePair()
{
    delete m_notifier;
    m_notifier = nullptr;
    for (int &fd : m_fds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

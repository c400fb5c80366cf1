// What a poll turn costs this machine before any program logic. Each turn
// sleeps 10 ms, reads what the scanner sent and writes the next query, as the
// program's turn does, and nothing else:
//   bench-turn-floor DEVICE        a bare loop: poll(), read(), write()
//   bench-turn-floor --qt DEVICE   the same turn on a Qt timer, in a Qt
//                                  application showing one small window
// bench/poll-app runs both next to the program, so that all figures come
// from the same moment of the machine.
#include <QApplication>
#include <QBasicTimer>
#include <QLabel>
#include <QTimerEvent>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kTurnMillis = 10;
constexpr char kQuery[] = "SQ\r";

int openDevice(const char *path)
{
    const int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        std::perror(path);
        return -1;
    }
    termios tio{};
    if (::tcgetattr(fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetspeed(&tio, B19200);
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

// One turn's input and output; false once the device has gone away.
bool exchange(int fd)
{
    char buffer[512];
    if (::read(fd, buffer, sizeof buffer) < 0 && errno != EAGAIN && errno != EINTR)
        return false;
    return ::write(fd, kQuery, std::strlen(kQuery)) >= 0 || errno == EAGAIN || errno == EINTR;
}

int bareLoop(int fd)
{
    // An event loop sleeps on its wake-up descriptor with a timeout.
    const int wake = ::eventfd(0, EFD_NONBLOCK);
    for (;;) {
        pollfd p{wake, POLLIN, 0};
        ::poll(&p, 1, kTurnMillis);
        if (!exchange(fd))
            return 0;
    }
}

class Turner : public QObject
{
public:
    explicit Turner(int fd) : m_fd(fd) { m_timer.start(kTurnMillis, Qt::PreciseTimer, this); }

protected:
    void timerEvent(QTimerEvent *) override
    {
        if (!exchange(m_fd))
            QCoreApplication::quit();
    }

private:
    int m_fd;
    QBasicTimer m_timer;
};

} // namespace

int main(int argc, char **argv)
{
    const bool qt = argc == 3 && std::strcmp(argv[1], "--qt") == 0;
    if (argc != 2 && !qt) {
        std::fprintf(stderr, "usage: %s [--qt] DEVICE\n", argv[0]);
        return 2;
    }
    const int fd = openDevice(argv[argc - 1]);
    if (fd < 0)
        return 1;
    if (!qt)
        return bareLoop(fd);
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("turns"));
    window.show();
    Turner turner(fd);
    return app.exec();
}

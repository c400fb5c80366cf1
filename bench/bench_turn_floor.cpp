// What a poll turn costs this machine before any program logic: a bare loop
// that sleeps 10 ms in poll(), reads what the scanner sent and writes the
// next query, as the program's turn does, and nothing else. bench/poll-app
// runs it next to the program so that both figures come from the same moment.
// usage: bench-turn-floor DEVICE
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DEVICE\n", argv[0]);
        return 2;
    }
    const int fd = ::open(argv[1], O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        std::perror(argv[1]);
        return 1;
    }
    termios tio{};
    if (::tcgetattr(fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetspeed(&tio, B19200);
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    // The event loop sleeps on its wake-up descriptor with a timeout.
    const int wake = ::eventfd(0, EFD_NONBLOCK);
    char buffer[512];
    for (;;) {
        pollfd p{wake, POLLIN, 0};
        ::poll(&p, 1, 10);
        if (::read(fd, buffer, sizeof buffer) < 0 && errno != EAGAIN && errno != EINTR)
            return 0; // the device went away
        if (::write(fd, "SQ\r", 3) < 0 && errno != EAGAIN && errno != EINTR)
            return 0;
    }
}

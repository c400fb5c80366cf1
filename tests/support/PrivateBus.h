#pragma once

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <string>
#include <vector>

// Runs this program again under dbus-run-session, on a session bus of its
// own that ends with it. Returns only in the program on that bus (-1), or
// with 77 (skipped) when dbus-run-session cannot be run.
inline int rerunOnPrivateBus(int argc, char **argv)
{
    // dbus-run-session keeps this process's id and starts us as its child.
    const char *runner = std::getenv("ORVENDAL_PRIVATE_BUS");
    if (runner && std::atol(runner) == long(getppid()))
        return -1;
    setenv("ORVENDAL_PRIVATE_BUS", std::to_string(long(getpid())).c_str(), 1);
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) {
        std::fprintf(stderr, "SKIP: this program cannot find itself to run again on a private bus\n");
        return 77;
    }
    std::vector<char *> args = {const_cast<char *>("dbus-run-session"), const_cast<char *>("--"), self};
    for (int i = 1; i < argc; ++i)
        args.push_back(argv[i]);
    args.push_back(nullptr);
    execvp("dbus-run-session", args.data());
    std::fprintf(stderr, "SKIP: dbus-run-session cannot be run, so there is no private session bus\n");
    return 77;
}

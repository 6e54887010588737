// Takes the launcher lock on a file and holds it, as a running launcher does:
//   tolbe_platform_lock_holder LOCK_FILE [PROGRAM ARG...]
// Prints "held" on standard output once it holds the lock, then "asked to show" for each request
// of a later launcher to show itself, until it is ended; or, when a program is given, becomes
// that program (which must not inherit the lock).
#include <unistd.h>

#include <cstdio>

#include "platform/launcher_lock.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s LOCK_FILE [PROGRAM ARG...]\n", argv[0]);
        return 2;
    }
    platform::ListenForShowRequests();
    platform::LauncherLockPlace place;
    place.file = argv[1];
    place.mayCreate = true;
    const platform::LauncherLock lock(place);
    if (lock.state() != platform::LauncherLock::State::Held) {
        std::printf("not held: %s\n", lock.problem().c_str());
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    if (argc > 2) {
        ::execv(argv[2], argv + 2);
        std::perror("exec");
        return 2;
    }
    for (;;) {
        ::pause();
        if (platform::TakeShowRequest()) {
            std::printf("asked to show\n");
            std::fflush(stdout);
        }
    }
}

// Takes the launcher lock and holds it, as a running launcher does on Windows:
//   tolbe_platform_lock_holder MUTEX_NAME REPORT_FILE [PROGRAM]
// Writes "held" to REPORT_FILE once it holds the lock (or "not held: WHY"), then waits to be
// ended; or, when a program is given, starts it the way the launcher starts the game (its own
// folder as working directory) and ends at once, leaving the program running.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/launcher_lock.h"
#include "platform/processes.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s MUTEX_NAME REPORT_FILE [PROGRAM]\n", argv[0]);
        return 2;
    }
    platform::LauncherLockPlace place;
    place.file = argv[1];
    const platform::LauncherLock lock(place);
    const bool held = lock.state() == platform::LauncherLock::State::Held;
    const std::string report = held ? "held\n" : "not held: " + lock.problem() + "\n";
    if (std::FILE* out = std::fopen(argv[2], "wb")) {
        std::fputs(report.c_str(), out);
        std::fclose(out);
    }
    if (!held) {
        return 1;
    }
    if (argc > 3) {
        const std::string program = argv[3];
        return platform::StartProgram(program, program.substr(0, program.rfind('\\') + 1)) ? 0 : 3;
    }
    ::Sleep(INFINITE);
    return 0;
}

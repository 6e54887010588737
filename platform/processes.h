#pragma once
// Starting programs and commands. The launcher never hands a command line to a shell: a program
// path is taken whole, and the one command it runs and waits for ("del PATH") is carried out by
// its own small command processor.

#include <optional>
#include <string>

namespace platform {

// Starts the program at exePath (a Windows-form path, taken whole: never split at blanks, never
// through a shell) with workingDir (Windows form, may end in a backslash) as its current
// directory, with the launcher's environment. The program runs detached in a session of its own,
// with no standard streams and no other descriptor of the launcher (on Windows: in a console of
// its own, CREATE_NEW_CONSOLE, inheriting no handle; its path quoted on the command line), and
// is not waited for. It starts with the system's default error mode, whatever the launcher set
// (KeepSystemErrorBoxesAway).
// True only when the program really started: a path that maps to nothing, a missing working
// directory, or an exec that fails (missing file, no execute permission, not a program) report
// false, with errno telling the cause.
bool StartProgram(const std::string& exePath, const std::string& workingDir);

// A program other than this launcher that runs from the folder `windowsDir` (a Windows-form
// path): its program file lies below the folder, or, on POSIX, a script below the folder is what
// its interpreter runs (a game that is a script). A shell or a wrapper that merely has the folder
// as its working directory, or names this launcher's own program, does not count.
// Returns the first such program's host path; nullopt when none runs. Programs this user may
// not look into are not counted.
std::optional<std::string> ProgramRunningFrom(const std::string& windowsDir);

// Runs one command line through the launcher's own small command processor and waits for it:
// "del PATH" deletes that one file (the rest of the line after "del " is the path, also when it
// holds blanks; surrounding quotes are removed; "*" and "?" are plain characters; a folder is
// not deleted). Anything else fails cleanly. Returns 0 on success, non-zero otherwise. Never a
// shell.
int RunCommandProcessor(const std::string& commandLine);

// Starts a command hidden, without waiting (WinExec with SW_HIDE). Only the shell's icon-refresh
// commands are known: "ie4uinit.exe -show" and "ie4uinit.exe -ClearIconCache"; on Windows
// ie4uinit.exe is started from the system folder, never one found beside the launcher. On POSIX
// the desktops (GNOME, KDE, Xfce) watch their folder and show a new or changed entry by
// themselves, so neither needs a program. Any other command is not run, as there is no shell to
// run it.
void StartHiddenCommand(const std::string& commandLine);

// Makes a write past the process's file-size limit fail as a write error (EFBIG), the way a
// write to a full disk fails, instead of ending the launcher at once with SIGXFSZ: a download or
// extraction cut short that way then ends in the launcher's own failure handling, with the
// player told. Called once at start, before any thread. Programs started by StartProgram get
// the default again. Nothing to do on Windows, where no such signal exists.
void ReportFileSizeLimitAsWriteError();

// Drives are probed (an empty card reader, a drive with no disc) without the system's "There is
// no disk in the drive" box: on Windows such errors come back to the launcher as failed calls
// (SEM_FAILCRITICALERRORS and SEM_NOOPENFILEERRORBOX added to the error mode). Called once at
// start, before any thread. Nothing to do on POSIX, which shows no such box.
void KeepSystemErrorBoxesAway();

}  // namespace platform

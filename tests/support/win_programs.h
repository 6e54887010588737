#pragma once
// Windows: the helper programs built beside the test program, and starting one of them.

#include <windows.h>

#include <string>

namespace tolbe_test {

// The host path of the program `fileName` in the folder of the running test program.
std::string ProgramBesideTest(const std::string& fileName);

// A started program, ended (TerminateProcess) and waited for when the object goes.
class WinProcess {
public:
    // Starts the command line (its first word the quoted program path) with the test's own
    // environment and working directory, inheriting no handle. Throws std::runtime_error when it
    // cannot be started.
    explicit WinProcess(const std::wstring& commandLine);
    ~WinProcess();
    WinProcess(const WinProcess&) = delete;
    WinProcess& operator=(const WinProcess&) = delete;

    HANDLE handle() const { return m_process; }
    // Waits up to `milliseconds` for the end; true when it has ended.
    bool WaitForExit(DWORD milliseconds);

private:
    HANDLE m_process = nullptr;
};

}  // namespace tolbe_test

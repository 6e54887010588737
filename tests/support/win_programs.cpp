#include "tests/support/win_programs.h"

#include <stdexcept>

#include "platform/text.h"

namespace tolbe_test {

std::string ProgramBesideTest(const std::string& fileName) {
    wchar_t module[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    const std::wstring path(module, length);
    return platform::WideToNarrow(path.substr(0, path.rfind(L'\\') + 1)) + fileName;
}

WinProcess::WinProcess(const std::wstring& commandLine) {
    std::wstring line = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process)) {
        throw std::runtime_error("cannot start " + platform::WideToNarrow(commandLine) +
                                 ": error " + std::to_string(::GetLastError()));
    }
    ::CloseHandle(process.hThread);
    m_process = process.hProcess;
}

WinProcess::~WinProcess() {
    if (!WaitForExit(0)) {
        ::TerminateProcess(m_process, 1);
        WaitForExit(INFINITE);
    }
    ::CloseHandle(m_process);
}

bool WinProcess::WaitForExit(DWORD milliseconds) {
    return ::WaitForSingleObject(m_process, milliseconds) == WAIT_OBJECT_0;
}

}  // namespace tolbe_test

// A stand-in for the game on Windows, for the tests that start programs. Writes
// "<its own file name>.started" into its current directory (whole, through a temporary name):
//   its current directory
//   its command line
//   "held" or "closed": whether the handle whose number TOLBE_TEST_HANDLE gives is open in it
//   "error mode N": the error mode it started with
//   its process id
// then, when TOLBE_TEST_GAME_WAIT_MS is set, waits that many milliseconds before it ends.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

std::wstring Variable(const wchar_t* name) {
    wchar_t value[64] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, value, 64);
    return length > 0 && length < 64 ? std::wstring(value, length) : std::wstring();
}

std::string Utf8(const std::wstring& text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                          nullptr, nullptr);
    return out;
}

}  // namespace

int main() {
    wchar_t module[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    const std::wstring name = std::wstring(module).substr(std::wstring(module).rfind(L'\\') + 1);
    wchar_t directory[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, directory);

    std::string handleState = "closed";
    const std::wstring handleText = Variable(L"TOLBE_TEST_HANDLE");
    DWORD flags = 0;
    if (!handleText.empty() &&
        ::GetHandleInformation(
            reinterpret_cast<HANDLE>(std::wcstoull(handleText.c_str(), nullptr, 16)), &flags)) {
        handleState = "held";
    }
    const std::string report = Utf8(directory) + "\n" + Utf8(::GetCommandLineW()) + "\n" +
                               handleState + "\n" + "error mode " +
                               std::to_string(::GetErrorMode()) + "\n" +
                               std::to_string(::GetCurrentProcessId()) + "\n";

    const std::wstring file = name + L".started";
    const std::wstring temporary = file + L".tmp";
    const HANDLE out = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        return 2;
    }
    DWORD written = 0;
    ::WriteFile(out, report.data(), static_cast<DWORD>(report.size()), &written, nullptr);
    ::CloseHandle(out);
    ::MoveFileExW(temporary.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING);

    const std::wstring wait = Variable(L"TOLBE_TEST_GAME_WAIT_MS");
    if (!wait.empty()) {
        ::Sleep(static_cast<DWORD>(std::wcstoul(wait.c_str(), nullptr, 10)));
    }
    return 0;
}

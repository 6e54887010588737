// The sample client's game on Windows, as `pwd > started.txt` is on POSIX: writes its working
// directory (in the ANSI code page) and a line break into started.txt there. The note is written
// under a temporary name and then renamed, so that it is never seen half written.
#include <windows.h>

#include <string>

int main() {
    wchar_t directory[MAX_PATH] = {};
    const DWORD length = ::GetCurrentDirectoryW(MAX_PATH, directory);
    if (length == 0 || length >= MAX_PATH) {
        return 2;
    }
    const int size = ::WideCharToMultiByte(CP_ACP, 0, directory, static_cast<int>(length), nullptr,
                                           0, nullptr, nullptr);
    std::string note(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, directory, static_cast<int>(length), note.data(), size,
                          nullptr, nullptr);
    note += '\n';
    const HANDLE out = ::CreateFileW(L"started.txt.tmp", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        return 2;
    }
    DWORD written = 0;
    const bool whole =
        ::WriteFile(out, note.data(), static_cast<DWORD>(note.size()), &written, nullptr) &&
        written == note.size();
    ::CloseHandle(out);
    return whole && ::MoveFileExW(L"started.txt.tmp", L"started.txt", MOVEFILE_REPLACE_EXISTING)
               ? 0
               : 2;
}

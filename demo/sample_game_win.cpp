// The sample Tolbe client that scripts/demo --windows installs: it notes in game.log, in its
// working directory, that it started, then shows a small window for a few seconds.

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr UINT_PTR kCloseTimer = 1;
constexpr UINT kShownMs = 4000;
constexpr wchar_t kClassName[] = L"TolbeSampleClient";
constexpr wchar_t kText[] =
    L"Tolbe sample client\r\n\r\nThe launcher started me. Closing in a few seconds.";

std::string Utf8(const std::wstring& text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                          nullptr, nullptr);
    return out;
}

// "Tolbe sample client started in DIR at YYYY-MM-DDTHH:MM:SS", appended to game.log.
void NoteTheStart() {
    wchar_t directory[MAX_PATH] = {};
    const DWORD length = ::GetCurrentDirectoryW(MAX_PATH, directory);
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char when[32];
    std::snprintf(when, sizeof when, "%04u-%02u-%02uT%02u:%02u:%02u", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond);
    const std::string line = "Tolbe sample client started in " +
                             Utf8(std::wstring(directory, length)) + " at " + when + "\n";
    HANDLE log = ::CreateFileW(L"game.log", FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    ::WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(log);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = ::BeginPaint(window, &paint);
            RECT client;
            ::GetClientRect(window, &client);
            ::InflateRect(&client, -16, -16);
            ::DrawTextW(dc, kText, -1, &client, DT_CENTER | DT_WORDBREAK);
            ::EndPaint(window, &paint);
            return 0;
        }
        case WM_TIMER:
            ::DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    NoteTheStart();
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    ::RegisterClassW(&windowClass);
    HWND window = ::CreateWindowW(kClassName, L"Tolbe", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 360, 160, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return 0;
    }
    ::ShowWindow(window, show);
    ::SetTimer(window, kCloseTimer, kShownMs, nullptr);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}

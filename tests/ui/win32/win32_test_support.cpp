#include "tests/ui/win32/win32_test_support.h"

#include "ui/win32/gdi_objects.h"

namespace tolbe_test {
namespace {

// The one flow whose watchdog runs (a thread timer has no room for its owner).
ScriptedFlow* g_watched = nullptr;

}  // namespace

Pixels CaptureScreen(HWND window, const RECT& area) {
    ::RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pixels pixels;
    pixels.width = area.right - area.left;
    pixels.height = area.bottom - area.top;
    HDC screen = ::GetDC(nullptr);
    MemoryDc memory(::CreateCompatibleDC(screen));
    BITMAPINFO format = TopDownDibFormat(pixels.width, pixels.height, 32);
    void* bits = nullptr;
    BitmapHandle shot(::CreateDIBSection(screen, &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    {
        const ScopedSelection selected(memory.get(), shot.get());
        ::BitBlt(memory.get(), 0, 0, pixels.width, pixels.height, screen, area.left, area.top,
                 SRCCOPY);
        ::GdiFlush();
    }
    ::ReleaseDC(nullptr, screen);
    const auto* first = static_cast<const uint32_t*>(bits);
    pixels.data.assign(first, first + static_cast<size_t>(pixels.width) * pixels.height);
    return pixels;
}

Pixels BitmapResourcePixels(int id) {
    const BitmapHandle bitmap = LoadBitmapResource(id);
    const SIZE size = BitmapSize(bitmap.get());
    Pixels pixels;
    pixels.width = size.cx;
    pixels.height = size.cy;
    pixels.data.resize(static_cast<size_t>(size.cx) * size.cy);
    BITMAPINFO format = TopDownDibFormat(size.cx, size.cy, 32);
    HDC screen = ::GetDC(nullptr);
    ::GetDIBits(screen, bitmap.get(), 0, static_cast<UINT>(size.cy), pixels.data.data(), &format,
                DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    return pixels;
}

RECT ControlRect(HWND dialog, int id) {
    RECT r{};
    ::GetWindowRect(::GetDlgItem(dialog, id), &r);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

void PressKeys(const std::vector<WORD>& keys, WORD modifier) {
    std::vector<INPUT> inputs;
    const auto key = [&inputs](WORD vk, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    };
    if (modifier != 0) {
        key(modifier, false);
    }
    for (const WORD vk : keys) {
        key(vk, false);
        key(vk, true);
    }
    if (modifier != 0) {
        key(modifier, true);
    }
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void MoveMouse(POINT at, MouseButton button) {
    // Absolute positions run from 0 to 65535 across the primary screen.
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = ::MulDiv(at.x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = ::MulDiv(at.y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    if (button == MouseButton::Press) {
        input.mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    } else if (button == MouseButton::Release) {
        input.mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    }
    ::SendInput(1, &input, sizeof(INPUT));
}

HWND OpenMessageBox(HWND owner) {
    // A shown, enabled dialog of the thread that `owner` owns (Wine has no GW_ENABLEDPOPUP).
    struct Search {
        HWND owner;
        HWND found;
    } search{owner, nullptr};
    ::EnumThreadWindows(
        ::GetWindowThreadProcessId(owner, nullptr),
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            wchar_t className[16] = {};
            ::GetClassNameW(window, className, 16);
            if (std::wstring(className) == L"#32770" && ::GetWindow(window, GW_OWNER) == s->owner &&
                ::IsWindowVisible(window) && ::IsWindowEnabled(window)) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

ScriptedFlow::~ScriptedFlow() {
    if (m_watchdog != 0) {
        ::KillTimer(nullptr, m_watchdog);
    }
    if (g_watched == this) {
        g_watched = nullptr;
    }
}

void ScriptedFlow::Start(FlowView& view) {
    m_view = &view;
    ++starts;
    g_watched = this;
    m_watchdog = ::SetTimer(nullptr, 0, kGiveUpMs, OnWatchdog);
    if (onStart) {
        onStart(view);
    }
}

void ScriptedFlow::Tick() {
    const int tick = ++ticks;
    if (onTick) {
        onTick(*m_view, tick);
    }
}

void CALLBACK ScriptedFlow::OnWatchdog(HWND, UINT, UINT_PTR, DWORD) {
    if (g_watched != nullptr) {
        g_watched->GiveUp();
    }
}

void ScriptedFlow::GiveUp() {
    ::KillTimer(nullptr, m_watchdog);
    m_watchdog = 0;
    ADD_FAILURE() << "the window was still open after " << kGiveUpMs << " ms, " << ticks
                  << " ticks";
    if (m_window != nullptr && m_window->GetSafeHwnd() != nullptr) {
        if (HWND box = OpenMessageBox(m_window->GetSafeHwnd())) {
            ::EndDialog(box, IDCANCEL);
        }
    }
    m_view->EndDialog(kGaveUp);
}

}  // namespace tolbe_test

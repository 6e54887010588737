#pragma once
// Helpers for looking at the Win32 window under Wine on a display of its own: a flow run by a
// script, what the screen shows, the resources as the window loads them, real key presses.

#include <gtest/gtest.h>

// First: windows.h without its MessageBox macro, which would rename FlowView's operation.
#include "ui/win32/zorv_downloader_dlg.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/flow_driver.h"

namespace tolbe_test {

// Pixels as 0x00RRGGBB, the top row first.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> data;

    uint32_t at(int x, int y) const { return data[static_cast<size_t>(y) * width + x] & 0xFFFFFF; }
};

// What the screen shows in `area` (screen coordinates) now, once the window has painted
// everything it has to.
Pixels CaptureScreen(HWND window, const RECT& area);

// The pixels of bitmap resource `id` of this program.
Pixels BitmapResourcePixels(int id);

// The control's rectangle in the coordinates of its dialog.
RECT ControlRect(HWND dialog, int id);

// The text of a window or control.
std::wstring WindowText(HWND window);

// Presses and releases each virtual key in turn as a keyboard would (SendInput), holding
// `modifier` (0 for none) down around them; the foreground window receives them.
void PressKeys(const std::vector<WORD>& keys, WORD modifier = 0);

// Moves the mouse to `at` (screen coordinates), with the left button pressed or released there
// when `button` says so, as a hand would (SendInput).
enum class MouseButton { Keep, Press, Release };
void MoveMouse(POINT at, MouseButton button = MouseButton::Keep);

// The message box that `owner` has open now (the enabled pop-up it owns), or null.
HWND OpenMessageBox(HWND owner);

// A flow for the window's tests: counts its calls and runs the test's script on start and on
// every tick. A window still open kGiveUpMs after the start is ended by a watchdog of its own
// (an open box is closed first, the window ends with kGaveUp, the test fails), so that a window
// whose ticks stall fails instead of hanging.
class ScriptedFlow : public FlowDriver {
public:
    static constexpr UINT kGiveUpMs = 30000;
    static constexpr int kGaveUp = -77;

    std::function<void(FlowView& view)> onStart;
    // Called with the number of this tick (the first is 1); nested ticks run while a box is open.
    std::function<void(FlowView& view, int tick)> onTick;
    bool finished = false;
    int starts = 0;
    int ticks = 0;

    ScriptedFlow() = default;
    ~ScriptedFlow() override;
    ScriptedFlow(const ScriptedFlow&) = delete;
    ScriptedFlow& operator=(const ScriptedFlow&) = delete;

    // The window the view belongs to, once started.
    void Watch(const CZorvDownloaderDlg& window) { m_window = &window; }

    void Start(FlowView& view) override;
    void Tick() override;
    bool IsFinished() const override { return finished; }

private:
    static void CALLBACK OnWatchdog(HWND, UINT, UINT_PTR, DWORD);
    void GiveUp();

    FlowView* m_view = nullptr;
    const CZorvDownloaderDlg* m_window = nullptr;
    UINT_PTR m_watchdog = 0;
};

}  // namespace tolbe_test

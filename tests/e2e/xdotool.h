#pragma once
// A player's eyes and keyboard on an X display, through the xdotool program: which windows are
// shown, and key presses sent through the X test extension exactly as a real keyboard sends
// them (not as synthetic events a program could tell apart).

#include <string>
#include <vector>

namespace tolbe_test {

class XdoTool {
public:
    // Works on the display named like DISPLAY (":3").
    explicit XdoTool(std::string display) : m_display(std::move(display)) {}

    // The ids of the shown (mapped) windows whose title matches the extended regular
    // expression, in stacking order; empty when there is none.
    std::vector<std::string> ShownWindows(const std::string& titlePattern) const;

    // The ids of the shown windows of the process `pid` (by the window's _NET_WM_PID).
    std::vector<std::string> ShownWindowsOf(int pid) const;

    // The window's title; empty when the window is gone.
    std::string Title(const std::string& window) const;

    // Gives the window the keyboard focus, waits until it has it, then presses and releases
    // each key in turn (xdotool key names: "Return", "Escape", "alt+F4"). False when the window
    // is gone or did not take the focus within 10 seconds.
    bool PressKeys(const std::string& window, const std::vector<std::string>& keys) const;

private:
    struct Answer {
        int status;
        std::string out;
    };
    Answer Run(const std::vector<std::string>& arguments) const;
    std::vector<std::string> Windows(const std::vector<std::string>& searchArguments) const;

    std::string m_display;
};

}  // namespace tolbe_test

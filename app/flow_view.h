#pragma once
// What the install flow asks of the screen. The main window implements it; tests record it.
// All calls come on the main window's thread, except ShowNetworkFailure (see there).

#include <string>
#include <vector>

// Message box flags and answers, numbered as the Windows message box numbers them.
inline constexpr unsigned kMbOk = 0x0;
inline constexpr unsigned kMbOkCancel = 0x1;
inline constexpr unsigned kMbIconHand = 0x10;         // the error icon
inline constexpr unsigned kMbIconExclamation = 0x30;  // the warning icon
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

class FlowView {
public:
    virtual ~FlowView() = default;

    // The status line; the control is written only when the text differs from the one shown.
    virtual void SetStatusText(const std::wstring& text) = 0;
    // The percentage label, rewritten on every call.
    virtual void SetPercentText(const std::wstring& text) = 0;
    // The progress bar: a value within 0..100 is stored, then the bar moves on by one step.
    virtual void SetProgressPos(int value) = 0;
    // The bar back to 0 and the label to " 0%".
    virtual void ResetProgressDisplay() = 0;

    // A modal message box owned by the main window, with the given text, caption and flags
    // (kMbOk or kMbOkCancel, optionally with an icon). Timer ticks go on while it is open.
    // Returns kIdOk, kIdCancel, or another value when the box was closed some other way.
    virtual int MessageBox(const std::wstring& text, const std::wstring& caption,
                           unsigned flags) = 0;

    // Ends the main window's modal loop with the given result.
    virtual void EndDialog(int result) = 0;

    // Called on the download thread: shows an OK box with the application's name as its
    // caption and the warning icon, on the main window's thread, and returns when the player
    // has dismissed it. The main window keeps ticking meanwhile.
    virtual void ShowNetworkFailure(const std::wstring& text) = 0;

    // The 24 gameplay tips shown in turn while the client archive downloads.
    virtual const std::vector<std::wstring>& Tips() const = 0;
};

#pragma once
// What the window shows besides the flow's own texts and the tips, and how, the same on both
// hosts.

// The percentage label's text until the first percentage, and after each reset of the display.
inline constexpr wchar_t kPercentTemplateText[] = L"0";
inline constexpr wchar_t kZeroPercentText[] = L" 0%";

// The font of the status line and the percentage label, drawn in white on the face. Where it is
// not installed the system substitutes a font with Chinese glyphs.
inline constexpr wchar_t kTextFontFamily[] = L"Microsoft YaHei";
inline constexpr int kTextFontPoints = 14;

// Period of the timer whose ticks step the flow.
inline constexpr int kTickIntervalMs = 200;

// The range the bar works in: percentages.
inline constexpr int kProgressLower = 0;
inline constexpr int kProgressUpper = 100;

// The buttons of the flow's message boxes.
inline constexpr wchar_t kOkText[] = L"确定";
inline constexpr wchar_t kCancelText[] = L"取消";

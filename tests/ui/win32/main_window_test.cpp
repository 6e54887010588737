// The Win32 main window on a display under Wine: place, shape, layout, face, texts, bar and
// dragging, looked at on the screen as a player sees it.

#include "tests/ui/win32/win32_test_support.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "ui/dialog_template.h"
#include "ui/resource_ids.h"
#include "ui/win32/window_region.h"

namespace {

using tolbe_test::BitmapResourcePixels;
using tolbe_test::CaptureScreen;
using tolbe_test::ControlRect;
using tolbe_test::Pixels;
using tolbe_test::ScriptedFlow;
using tolbe_test::WindowText;

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;  // the display's root window, outside every window
constexpr RECT kFaceArea{0, 0, 980, 650};

bool Contains(const RECT& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

// Runs the window modally; `look` runs on the tick `atTick` (the window painted and on the
// screen by then), after which the window ends.
void WithWindowShown(const std::function<void(CZorvDownloaderDlg&, HWND)>& look, int atTick = 2) {
    ScriptedFlow flow;
    CZorvDownloaderDlg window(flow);
    flow.Watch(window);
    flow.onTick = [&](FlowView& view, int tick) {
        if (tick == atTick) {
            look(window, window.GetSafeHwnd());
            view.EndDialog(0);
        }
    };
    EXPECT_EQ(window.DoModal(), 0);
}

TEST(UiWin32MainWindow, InitialisationPlacesShapesAndStartsTheFlow) {
    ScriptedFlow flow;
    CZorvDownloaderDlg window(flow);
    flow.Watch(window);
    std::wstring statusAtStart;
    flow.onStart = [&](FlowView& view) {
        view.SetStatusText(L"正在请求数据");
        statusAtStart = WindowText(::GetDlgItem(window.GetSafeHwnd(), IDC_STATUS_LINE));
    };
    flow.onTick = [&](FlowView& view, int tick) {
        HWND hwnd = window.GetSafeHwnd();
        EXPECT_EQ(tick, 1);
        EXPECT_EQ(flow.starts, 1);
        RECT r;
        ::GetWindowRect(hwnd, &r);
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ(r.top, 0) << "at the screen's top-left corner, not centred";
        EXPECT_EQ(r.right - r.left, 980);
        EXPECT_EQ(r.bottom - r.top, 650);

        const LONG style = ::GetWindowLongW(hwnd, GWL_STYLE);
        EXPECT_TRUE(style & WS_POPUP);
        EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME | WS_SYSMENU)) << "no frame at all";
        EXPECT_TRUE(::GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_APPWINDOW) << "a taskbar button";
        EXPECT_TRUE(::IsWindowVisible(hwnd));
        EXPECT_NE(::SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0), 0) << "icon 128";
        EXPECT_NE(::SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0), 0);
        EXPECT_EQ(view.Tips().size(), 24u);

        // The window's region is exactly the mask's non-black pixels.
        const BitmapHandle mask = LoadBitmapResource(IDB_MASK);
        const RegionHandle expected(RegionFromRuns(MaskBitmapRuns(mask.get())));
        const RegionHandle actual(::CreateRectRgn(0, 0, 0, 0));
        EXPECT_NE(::GetWindowRgn(hwnd, actual.get()), ERROR);
        EXPECT_TRUE(::EqualRgn(expected.get(), actual.get()));
        view.EndDialog(0);
    };
    EXPECT_EQ(window.DoModal(), 0);
    EXPECT_EQ(statusAtStart, L"正在请求数据") << "the controls are ready when the flow starts";
    EXPECT_EQ(flow.ticks, 1);
}

TEST(UiWin32MainWindow, ScreenShowsTheFaceUnscaledExactlyInsideTheShape) {
    const Pixels face = BitmapResourcePixels(IDB_FACE);
    const Pixels mask = BitmapResourcePixels(IDB_MASK);
    ASSERT_EQ(face.width, 980);
    ASSERT_EQ(face.height, 650);
    WithWindowShown([&](CZorvDownloaderDlg&, HWND hwnd) {
        const RECT controls[] = {ControlRect(hwnd, IDC_STATUS_LINE),
                                 ControlRect(hwnd, IDC_PROGRESS),
                                 ControlRect(hwnd, IDC_PERCENT_LABEL)};
        // One pixel right of and below the window too: nothing of it shows there.
        const Pixels shot = CaptureScreen(hwnd, RECT{0, 0, 981, 651});
        int wrongInside = 0, wrongOutside = 0, inside = 0;
        for (int y = 0; y < 651; ++y) {
            for (int x = 0; x < 981; ++x) {
                const bool onFace = x < 980 && y < 650 && mask.at(x, y) != kBlack;
                const bool onControl =
                    std::any_of(std::begin(controls), std::end(controls),
                                [&](const RECT& r) { return Contains(r, x, y); });
                if (!onFace) {
                    wrongOutside += shot.at(x, y) != kBlack ? 1 : 0;
                } else if (!onControl) {
                    ++inside;
                    wrongInside += shot.at(x, y) != face.at(x, y) ? 1 : 0;
                }
            }
        }
        EXPECT_GT(inside, 980 * 650 / 2);
        EXPECT_EQ(wrongInside, 0) << "pixels of the shape that do not show the face";
        EXPECT_EQ(wrongOutside, 0) << "pixels outside the shape that the window covers";
    });
}

TEST(UiWin32MainWindow, ControlsEndAtTheirTemplateRectanglesScaledToTheWindow) {
    WithWindowShown([](CZorvDownloaderDlg&, HWND hwnd) {
        const double sx = 980.0 / kTemplateWidthDu;
        const double sy = 650.0 / kTemplateHeightDu;
        for (const DialogItem& item : {kStatusLineItem, kProgressItem, kPercentLabelItem}) {
            SCOPED_TRACE(item.id);
            const RECT r = ControlRect(hwnd, item.id);
            // Two truncating passes may each lose most of a pixel.
            EXPECT_NEAR(r.left, item.x * sx, 2.0);
            EXPECT_NEAR(r.top, item.y * sy, 2.0);
            EXPECT_NEAR(r.right, (item.x + item.width) * sx, 2.0);
            EXPECT_NEAR(r.bottom, (item.y + item.height) * sy, 2.0);
        }
        const RECT bar = ControlRect(hwnd, IDC_PROGRESS);
        EXPECT_NEAR(bar.right - bar.left, 484, 2);
        EXPECT_NEAR(ControlRect(hwnd, IDC_STATUS_LINE).left, 343, 2);
    });
}

// White letters, horizontally centred in their control, on the face itself (no background).
void ExpectWhiteCentredText(const Pixels& shot, const Pixels& face, const RECT& area) {
    int left = area.right, right = area.left - 1, faceShown = 0, other = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            const uint32_t pixel = shot.at(x, y);
            if (pixel == kWhite) {
                left = std::min(left, x);
                right = std::max(right, x);
            } else if (pixel == face.at(x, y)) {
                ++faceShown;
            } else {
                ++other;  // the letters' anti-aliased edges
            }
        }
    }
    ASSERT_LE(left, right) << "no white text";
    const double textCentre = (left + right + 1) / 2.0;
    const double areaCentre = (area.left + area.right) / 2.0;
    EXPECT_NEAR(textCentre, areaCentre, 3.0);
    EXPECT_GT(faceShown, other) << "the face shows around the letters";
}

TEST(UiWin32MainWindow, TextsDrawWhiteAndCentredOnTheFace) {
    const Pixels face = BitmapResourcePixels(IDB_FACE);
    WithWindowShown([&](CZorvDownloaderDlg& window, HWND hwnd) {
        window.SetStatusText(L"小提示：本游戏目前不支持XP系统");
        window.SetPercentText(L" 42%");
        const Pixels shot = CaptureScreen(hwnd, kFaceArea);
        {
            SCOPED_TRACE("status line");
            ExpectWhiteCentredText(shot, face, ControlRect(hwnd, IDC_STATUS_LINE));
        }
        {
            SCOPED_TRACE("percentage label");
            ExpectWhiteCentredText(shot, face, ControlRect(hwnd, IDC_PERCENT_LABEL));
        }
        // A shorter text drawn over a longer one leaves nothing of the longer one.
        window.SetStatusText(L"解压中");
        const Pixels after = CaptureScreen(hwnd, kFaceArea);
        const RECT status = ControlRect(hwnd, IDC_STATUS_LINE);
        int whiteNearTheEdges = 0;
        for (int y = status.top; y < status.bottom; ++y) {
            for (int x = status.left; x < status.left + 40; ++x) {
                whiteNearTheEdges += after.at(x, y) == kWhite ? 1 : 0;
                whiteNearTheEdges += after.at(status.right - 1 - (x - status.left), y) == kWhite;
            }
        }
        EXPECT_EQ(whiteNearTheEdges, 0) << "the old text's ends are gone";
    });
}

TEST(UiWin32MainWindow, EveryTipFitsTheStatusLineInItsFont) {
    WithWindowShown([](CZorvDownloaderDlg& window, HWND hwnd) {
        HWND status = ::GetDlgItem(hwnd, IDC_STATUS_LINE);
        const RECT area = ControlRect(hwnd, IDC_STATUS_LINE);
        const auto font = reinterpret_cast<HFONT>(::SendMessageW(status, WM_GETFONT, 0, 0));
        ASSERT_NE(font, nullptr) << "the status line has the launcher's font";
        HDC dc = ::GetDC(status);
        {
            const ScopedSelection selected(dc, font);
            for (const std::wstring& tip : window.Tips()) {
                SIZE extent{};
                ::GetTextExtentPoint32W(dc, tip.c_str(), static_cast<int>(tip.size()), &extent);
                EXPECT_LE(extent.cx, area.right - area.left)
                    << "tip " << (&tip - &window.Tips()[0]);
            }
        }
        ::ReleaseDC(status, dc);
    });
}

TEST(UiWin32MainWindow, StatusLineIsWrittenOnlyWhenItsTextChangesAndTheLabelAlways) {
    WithWindowShown([](CZorvDownloaderDlg& window, HWND hwnd) {
        HWND status = ::GetDlgItem(hwnd, IDC_STATUS_LINE);
        HWND percent = ::GetDlgItem(hwnd, IDC_PERCENT_LABEL);
        EXPECT_EQ(WindowText(percent), L"0") << "the template's text until a percentage is shown";
        EXPECT_EQ(WindowText(status), L"");

        window.SetStatusText(L"正在请求数据");
        EXPECT_EQ(WindowText(status), L"正在请求数据");
        // Something else writes the control; the same text again must leave the control alone.
        ::SetWindowTextW(status, L"untouched");
        window.SetStatusText(L"正在请求数据");
        EXPECT_EQ(WindowText(status), L"untouched");
        window.SetStatusText(L"解压中，请稍候..");
        EXPECT_EQ(WindowText(status), L"解压中，请稍候..");

        window.SetPercentText(L" 7%");
        EXPECT_EQ(WindowText(percent), L" 7%");
        ::SetWindowTextW(percent, L"x");
        window.SetPercentText(L" 7%");
        EXPECT_EQ(WindowText(percent), L" 7%") << "rewritten on every call";
        window.ResetProgressDisplay();
        EXPECT_EQ(WindowText(percent), L" 0%");
        EXPECT_TRUE(::IsWindowVisible(status) && ::IsWindowVisible(percent));
    });
}

// Columns of the fill strip painted on the screen: row 3 of the strip, drawn at (2, 2) inside
// the bar, compared column by column from the left.
int PaintedFillColumns(HWND hwnd, const Pixels& fore) {
    const RECT bar = ControlRect(hwnd, IDC_PROGRESS);
    const Pixels shot = CaptureScreen(hwnd, kFaceArea);
    const int y = bar.top + 2 + 3;
    int columns = 0;
    while (bar.left + 2 + columns < bar.right && columns < fore.width &&
           shot.at(bar.left + 2 + columns, y) == fore.at(columns, 3)) {
        ++columns;
    }
    return columns;
}

TEST(UiWin32MainWindow, BarFillOnTheScreenAtSeveralPositions) {
    const Pixels fore = BitmapResourcePixels(IDB_BAR_FORE);
    const Pixels back = BitmapResourcePixels(IDB_BAR_BACK);
    ASSERT_EQ(fore.width, 488);
    WithWindowShown([&](CZorvDownloaderDlg& window, HWND hwnd) {
        const RECT bar = ControlRect(hwnd, IDC_PROGRESS);
        EXPECT_EQ(PaintedFillColumns(hwnd, fore), 0) << "before any position";
        const Pixels empty = CaptureScreen(hwnd, kFaceArea);
        EXPECT_EQ(empty.at(bar.left, bar.top), back.at(0, 0)) << "the empty track at (0, 0)";
        EXPECT_EQ(empty.at(bar.left + 100, bar.top + 5), back.at(100, 5));

        // The fill is drawn at its own size and cut by the bar's right edge: 2 + 482 = 484.
        const int visible = bar.right - bar.left - 2;
        struct Case {
            int value;
            int columns;
        };
        const Case fromEmpty[] = {{0, 4}, {7, 39}, {42, 209}, {99, std::min(488, visible)}};
        for (const Case& c : fromEmpty) {
            SCOPED_TRACE(c.value);
            window.ResetProgressDisplay();
            EXPECT_EQ(PaintedFillColumns(hwnd, fore), 0) << "the reset clears the fill";
            window.SetProgressPos(c.value);
            EXPECT_EQ(PaintedFillColumns(hwnd, fore), c.columns);
        }
        // A value out of range only steps: 42 shows 43, then 150 shows 44.
        window.ResetProgressDisplay();
        window.SetProgressPos(42);
        window.SetProgressPos(150);
        EXPECT_EQ(PaintedFillColumns(hwnd, fore), 488 * 44 / 100);
    });
}

TEST(UiWin32MainWindow, DragsFromAnyPointOfTheFace) {
    using tolbe_test::MouseButton;
    using tolbe_test::MoveMouse;
    ScriptedFlow flow;
    CZorvDownloaderDlg window(flow);
    flow.Watch(window);
    std::vector<POINT> from;
    size_t next = 0;
    int pressedAt = 0;
    // One step of the hand a tick: press, move half-way, move all the way, release, look.
    flow.onTick = [&](FlowView& view, int tick) {
        HWND hwnd = window.GetSafeHwnd();
        if (from.empty()) {
            const auto centre = [hwnd](int id) {
                const RECT r = ControlRect(hwnd, id);
                return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
            };
            from = {POINT{120, 300}, centre(IDC_STATUS_LINE), centre(IDC_PROGRESS),
                    centre(IDC_PERCENT_LABEL)};
        }
        if (pressedAt != 0) {
            const POINT start = from[next];
            switch (tick - pressedAt) {
                case 1:
                    MoveMouse(POINT{start.x + 20, start.y + 15});
                    return;
                case 2:
                    MoveMouse(POINT{start.x + 40, start.y + 30});
                    return;
                case 3:
                    MoveMouse(POINT{start.x + 40, start.y + 30}, MouseButton::Release);
                    return;
                default:
                    break;
            }
            RECT r;
            ::GetWindowRect(hwnd, &r);
            EXPECT_EQ(r.left, 40) << "from point " << next;
            EXPECT_EQ(r.top, 30) << "from point " << next;
            ++next;
            pressedAt = 0;
        }
        if (next == from.size()) {
            view.EndDialog(0);
            return;
        }
        ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        MoveMouse(from[next], MouseButton::Press);
        pressedAt = tick;
    };
    EXPECT_EQ(window.DoModal(), 0);
    EXPECT_EQ(next, 4u);
}

}  // namespace

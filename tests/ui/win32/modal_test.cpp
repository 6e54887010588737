// The Win32 main window's modal loop under Wine: ticks, ending, close keys, message boxes and the
// download thread's failure box.

#include "tests/ui/win32/win32_test_support.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using tolbe_test::OpenMessageBox;
using tolbe_test::PressKeys;
using tolbe_test::ScriptedFlow;
using tolbe_test::WindowText;

// Result the tests end the window with when it should still be open.
constexpr int kStillOpen = 77;

// The texts of a window's static controls.
std::vector<std::wstring> StaticTexts(HWND window) {
    std::vector<std::wstring> texts;
    for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[16] = {};
        ::GetClassNameW(child, className, 16);
        if (std::wstring(className) == L"Static") {
            texts.push_back(WindowText(child));
        }
    }
    return texts;
}

bool HasText(HWND window, const std::wstring& text) {
    const std::vector<std::wstring> texts = StaticTexts(window);
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// Shown icon controls of the box (a static of the icon style holding an icon).
int IconControls(HWND box) {
    int icons = 0;
    for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        const LONG style = ::GetWindowLongW(child, GWL_STYLE);
        if ((style & SS_TYPEMASK) == SS_ICON && (style & WS_VISIBLE) &&
            ::SendMessageW(child, STM_GETICON, 0, 0) != 0) {
            ++icons;
        }
    }
    return icons;
}

std::wstring ProgramName() {
    wchar_t path[MAX_PATH];
    std::wstring name(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH));
    name.erase(0, name.find_last_of(L"\\/") + 1);
    return name.substr(0, name.rfind(L'.'));
}

TEST(UiWin32Modal, TicksRunTheFlowUntilEndDialog) {
    ScriptedFlow flow;
    CZorvDownloaderDlg window(flow);
    flow.Watch(window);
    int startsBeforeFirstTick = -1;
    HWND shown = nullptr;
    flow.onTick = [&](FlowView& view, int tick) {
        if (tick == 1) {
            startsBeforeFirstTick = flow.starts;
            shown = window.GetSafeHwnd();
        }
        if (tick == 3) {
            view.EndDialog(5);
        }
    };
    EXPECT_EQ(window.DoModal(), 5);
    EXPECT_EQ(startsBeforeFirstTick, 1);
    EXPECT_EQ(flow.ticks, 3);
    EXPECT_FALSE(::IsWindow(shown)) << "the window goes with its loop";
    EXPECT_EQ(window.GetSafeHwnd(), nullptr);
}

TEST(UiWin32Modal, FlowEndingTheWindowAsItStartsNeedsNoLoop) {
    ScriptedFlow flow;
    flow.onStart = [](FlowView& view) { view.EndDialog(4); };
    CZorvDownloaderDlg window(flow);
    flow.Watch(window);
    EXPECT_EQ(window.DoModal(), 4);
    EXPECT_EQ(flow.ticks, 0);
}

TEST(UiWin32Modal, CloseKeysEndTheWindowOnlyInTheFinalStates) {
    using Press = std::function<void(HWND)>;
    const Press escape = [](HWND) { PressKeys({VK_ESCAPE}); };
    const Press enter = [](HWND) { PressKeys({VK_RETURN}); };
    const Press altF4 = [](HWND) { PressKeys({VK_F4}, VK_MENU); };
    const Press closeRequest = [](HWND hwnd) { ::PostMessageW(hwnd, WM_CLOSE, 0, 0); };
    struct Case {
        const char* name;
        Press press;
        bool finished;
        bool ends;
    };
    const Case cases[] = {
        {"Escape while running", escape, false, false},
        {"Enter while running", enter, false, false},
        {"Alt+F4 while running", altF4, false, false},
        {"close request while running", closeRequest, false, false},
        {"Escape when finished", escape, true, true},
        {"Alt+F4 when finished", altF4, true, true},
        {"close request when finished", closeRequest, true, true},
        {"Enter when finished", enter, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedFlow flow;
        flow.finished = c.finished;
        CZorvDownloaderDlg window(flow);
        flow.Watch(window);
        flow.onTick = [&](FlowView& view, int tick) {
            HWND hwnd = window.GetSafeHwnd();
            if (tick == 1) {
                ::SetForegroundWindow(hwnd);
            } else if (tick == 2) {
                EXPECT_EQ(::GetForegroundWindow(), hwnd) << "the keys go to the window";
                c.press(hwnd);
            } else if (tick == 5) {
                EXPECT_TRUE(::IsWindowVisible(hwnd));
                view.EndDialog(kStillOpen);
            }
        };
        EXPECT_EQ(window.DoModal(), c.ends ? 0 : kStillOpen);
    }
}

TEST(UiWin32Modal, MessageBoxesAreModalWhileTicksGoOn) {
    enum class Answer { Ok, Cancel, Escape };
    struct Case {
        const char* name;
        unsigned flags;
        bool cancelButton;
        int icons;
        Answer answer;
        int result;
    };
    const Case cases[] = {
        {"retry question, OK", kMbOkCancel, true, 0, Answer::Ok, kIdOk},
        {"retry question, Cancel", kMbOkCancel, true, 0, Answer::Cancel, kIdCancel},
        {"retry question, Escape", kMbOkCancel, true, 0, Answer::Escape, kIdCancel},
        {"extraction failure", kMbOk | kMbIconHand, false, 1, Answer::Ok, kIdOk},
        {"warning, Escape", kMbOk | kMbIconExclamation, false, 1, Answer::Escape, kIdOk},
    };
    const std::wstring text = L"解压客户端文件失败，请检查磁盘空间或文件权限后重试。";
    const std::wstring caption = L"解压失败";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedFlow flow;
        CZorvDownloaderDlg window(flow);
        flow.Watch(window);
        int result = 0;
        int ticksWhileOpen = 0;
        bool seen = false;
        flow.onTick = [&](FlowView& view, int tick) {
            HWND hwnd = window.GetSafeHwnd();
            if (tick == 1) {
                result = view.MessageBox(text, caption, c.flags);
                ticksWhileOpen = flow.ticks - 1;
                view.EndDialog(9);
                return;
            }
            HWND box = OpenMessageBox(hwnd);
            if (box == nullptr || seen || tick < 4) {
                return;  // let a few ticks pass with the box open
            }
            seen = true;
            EXPECT_EQ(WindowText(box), caption);
            EXPECT_TRUE(HasText(box, text));
            EXPECT_EQ(::GetWindow(box, GW_OWNER), hwnd);
            EXPECT_FALSE(::IsWindowEnabled(hwnd)) << "modal: the window waits for the box";
            EXPECT_NE(::GetDlgItem(box, IDOK), nullptr);
            EXPECT_EQ(::GetDlgItem(box, IDCANCEL) != nullptr, c.cancelButton);
            EXPECT_EQ(IconControls(box), c.icons);
            switch (c.answer) {
                case Answer::Ok:
                case Answer::Cancel: {
                    const int id = c.answer == Answer::Ok ? IDOK : IDCANCEL;
                    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                                   reinterpret_cast<LPARAM>(::GetDlgItem(box, id)));
                    break;
                }
                case Answer::Escape:
                    ::SetForegroundWindow(box);
                    PressKeys({VK_ESCAPE});
                    break;
            }
        };
        EXPECT_EQ(window.DoModal(), 9);
        EXPECT_TRUE(seen);
        EXPECT_EQ(result, c.result);
        EXPECT_GE(ticksWhileOpen, 3) << "ticks went on, nested, while the box was open";
    }
}

TEST(UiWin32Modal, NetworkFailureBoxIsShownForTheDownloadThreadWhichWaits) {
    const std::wstring text = L"网络异常:Couldn't connect to server\nm_dwError:7";
    ScriptedFlow flow;
    CZorvDownloaderDlg window(flow);
    flow.Watch(window);
    std::thread downloader;
    std::atomic<bool> returned{false};
    int firstTickSeen = 0;
    bool answered = false;
    bool returnedWhileOpen = true;
    DWORD boxThread = 0;
    flow.onTick = [&](FlowView& view, int tick) {
        HWND hwnd = window.GetSafeHwnd();
        if (tick == 1) {
            downloader = std::thread([&] {
                view.ShowNetworkFailure(text);
                returned = true;
            });
            return;
        }
        if (answered) {
            if (returned) {
                view.EndDialog(3);
            }
            return;
        }
        HWND box = OpenMessageBox(hwnd);
        if (box == nullptr) {
            return;
        }
        if (firstTickSeen == 0) {
            firstTickSeen = tick;
        }
        if (tick < firstTickSeen + 2) {
            return;  // the window keeps ticking while the box is open
        }
        answered = true;
        returnedWhileOpen = returned;
        boxThread = ::GetWindowThreadProcessId(box, nullptr);
        EXPECT_EQ(WindowText(box), ProgramName()) << "the application's name as the caption";
        EXPECT_TRUE(HasText(box, text));
        EXPECT_EQ(::GetDlgItem(box, IDCANCEL), nullptr);
        EXPECT_EQ(IconControls(box), 1) << "the warning icon";
        ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(box, IDOK)));
    };
    EXPECT_EQ(window.DoModal(), 3);
    downloader.join();
    EXPECT_TRUE(answered);
    EXPECT_FALSE(returnedWhileOpen) << "the download thread waits for the answer";
    EXPECT_EQ(boxThread, ::GetCurrentThreadId()) << "the box belongs to the window's thread";
    EXPECT_TRUE(returned);
}

TEST(UiWin32Modal, NetworkFailureAfterTheWindowEndedDoesNotWait) {
    ScriptedFlow flow;
    flow.onTick = [](FlowView& view, int) { view.EndDialog(0); };
    CZorvDownloaderDlg window(flow);
    flow.Watch(window);
    ASSERT_EQ(window.DoModal(), 0);
    std::atomic<bool> returned{false};
    std::thread downloader([&] {
        window.ShowNetworkFailure(L"网络异常");
        returned = true;
    });
    downloader.join();
    EXPECT_TRUE(returned);
}

}  // namespace

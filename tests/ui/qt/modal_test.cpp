// The main window's modal loop: ticks, ending, close keys, message boxes and the download
// thread's failure box.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTest>
#include <QThread>
#include <QWindow>
#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "tests/ui/qt/scripted_flow.h"
#include "tests/ui/qt/ui_test_support.h"
#include "ui/qt/zorv_downloader_dlg.h"

namespace {

using tolbe_test::OpenMessageBox;
using tolbe_test::ScriptedFlow;

// Result the tests end the window with when it should still be open.
constexpr int kStillOpen = 77;

TEST(UiModal, TicksRunTheFlowUntilEndDialog) {
    ScriptedFlow flow;
    int startsBeforeFirstTick = -1;
    flow.onTick = [&](FlowView& view, int tick) {
        if (tick == 1) {
            startsBeforeFirstTick = flow.starts;
        }
        if (tick == 3) {
            view.EndDialog(5);
        }
    };
    CZorvDownloaderDlg window(flow);
    EXPECT_EQ(window.DoModal(), 5);
    EXPECT_EQ(startsBeforeFirstTick, 1);
    EXPECT_EQ(flow.ticks, 3);
    EXPECT_FALSE(window.isVisible());
}

TEST(UiModal, FlowEndingTheWindowAsItStartsNeedsNoLoop) {
    ScriptedFlow flow;
    flow.onStart = [](FlowView& view) { view.EndDialog(4); };
    CZorvDownloaderDlg window(flow);
    EXPECT_EQ(window.DoModal(), 4);
    EXPECT_EQ(flow.ticks, 0);
}

TEST(UiModal, CloseKeysEndTheWindowOnlyInTheFinalStates) {
    using Press = std::function<void(CZorvDownloaderDlg&)>;
    const Press escape = [](CZorvDownloaderDlg& w) {
        QTest::keyClick(w.windowHandle(), Qt::Key_Escape);
    };
    const Press enter = [](CZorvDownloaderDlg& w) {
        QTest::keyClick(w.windowHandle(), Qt::Key_Return);
    };
    const Press keypadEnter = [](CZorvDownloaderDlg& w) {
        QTest::keyClick(w.windowHandle(), Qt::Key_Enter, Qt::KeypadModifier);
    };
    const Press altF4 = [](CZorvDownloaderDlg& w) {
        QTest::keyClick(w.windowHandle(), Qt::Key_F4, Qt::AltModifier);
    };
    const Press closeRequest = [](CZorvDownloaderDlg& w) { w.close(); };
    struct Case {
        const char* name;
        Press press;
        bool finished;
        bool ends;
    };
    const Case cases[] = {
        {"Escape while running", escape, false, false},
        {"Enter while running", enter, false, false},
        {"keypad Enter while running", keypadEnter, false, false},
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
        flow.onTick = [&](FlowView& view, int tick) {
            if (tick == 2) {
                c.press(window);
            } else if (tick == 4) {
                EXPECT_TRUE(window.isVisible());
                view.EndDialog(kStillOpen);
            }
        };
        EXPECT_EQ(window.DoModal(), c.ends ? 0 : kStillOpen);
    }
}

TEST(UiModal, MessageBoxesAreModalWhileTicksGoOn) {
    struct Case {
        const char* name;
        unsigned flags;
        QMessageBox::StandardButtons buttons;
        QMessageBox::Icon icon;
        QMessageBox::StandardButton click;  // NoButton: press Escape instead
        int answer;
    };
    const auto okCancel = QMessageBox::Ok | QMessageBox::Cancel;
    const Case cases[] = {
        {"retry question, OK", kMbOkCancel, okCancel, QMessageBox::NoIcon, QMessageBox::Ok, kIdOk},
        {"retry question, Cancel", kMbOkCancel, okCancel, QMessageBox::NoIcon, QMessageBox::Cancel,
         kIdCancel},
        {"retry question, Escape", kMbOkCancel, okCancel, QMessageBox::NoIcon,
         QMessageBox::NoButton, kIdCancel},
        {"extraction failure", kMbOk | kMbIconHand, QMessageBox::Ok, QMessageBox::Critical,
         QMessageBox::Ok, kIdOk},
        {"warning", kMbOk | kMbIconExclamation, QMessageBox::Ok, QMessageBox::Warning,
         QMessageBox::Ok, kIdOk},
    };
    const std::wstring text = L"解压客户端文件失败，请检查磁盘空间或文件权限后重试。";
    const std::wstring caption = L"解压失败";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedFlow flow;
        CZorvDownloaderDlg window(flow);
        int answer = 0;
        int ticksWhileOpen = 0;
        bool seen = false;
        flow.onTick = [&](FlowView& view, int tick) {
            if (tick == 1) {
                answer = view.MessageBox(text, caption, c.flags);
                ticksWhileOpen = flow.ticks - 1;
                view.EndDialog(9);
                return;
            }
            QMessageBox* box = OpenMessageBox();
            if (box == nullptr || seen || tick < 4) {
                return;  // let a few ticks pass with the box open
            }
            seen = true;
            EXPECT_EQ(box->text().toStdWString(), text);
            EXPECT_EQ(box->windowTitle().toStdWString(), caption);
            EXPECT_EQ(box->standardButtons(), c.buttons);
            EXPECT_EQ(box->icon(), c.icon);
            EXPECT_EQ(box->parentWidget(), &window);
            // The launcher's own words, not Qt's English ones.
            EXPECT_EQ(box->button(QMessageBox::Ok)->text().toStdWString(), L"确定");
            if (c.buttons & QMessageBox::Cancel) {
                EXPECT_EQ(box->button(QMessageBox::Cancel)->text().toStdWString(), L"取消");
            }
            if (c.click == QMessageBox::NoButton) {
                QTest::keyClick(box, Qt::Key_Escape);
            } else {
                box->button(c.click)->click();
            }
        };
        EXPECT_EQ(window.DoModal(), 9);
        EXPECT_TRUE(seen);
        EXPECT_EQ(answer, c.answer);
        EXPECT_GE(ticksWhileOpen, 3) << "ticks went on, nested, while the box was open";
    }
}

TEST(UiModal, NetworkFailureBoxIsShownForTheDownloadThreadWhichWaits) {
    const std::wstring text = L"网络异常:Couldn't connect to server\nm_dwError:7";
    ScriptedFlow flow;
    CZorvDownloaderDlg window(flow);
    std::thread downloader;
    std::atomic<bool> returned{false};
    int firstTickSeen = 0;
    bool answered = false;
    bool returnedWhileOpen = true;
    bool boxOnWindowThread = false;
    flow.onTick = [&](FlowView& view, int tick) {
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
        QMessageBox* box = OpenMessageBox();
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
        boxOnWindowThread = box->thread() == QThread::currentThread();
        EXPECT_EQ(box->text().toStdWString(), text);
        EXPECT_EQ(box->windowTitle(), QGuiApplication::applicationDisplayName());
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        EXPECT_EQ(box->button(QMessageBox::Ok)->text().toStdWString(), L"确定");
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        box->button(QMessageBox::Ok)->click();
    };
    EXPECT_EQ(window.DoModal(), 3);
    downloader.join();
    EXPECT_TRUE(answered);
    EXPECT_FALSE(returnedWhileOpen) << "the download thread waits for the answer";
    EXPECT_TRUE(boxOnWindowThread);
    EXPECT_TRUE(returned);
}

}  // namespace

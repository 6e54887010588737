#pragma once
// A flow for the window's tests: counts its calls and runs the test's script on start and on
// every tick. A window still open kGiveUpMs after the start is ended by a watchdog timer of its
// own (any open box is closed first, the window ends with kGaveUp, the test fails), so that a
// window whose ticks stall fails instead of hanging.

#include <gtest/gtest.h>

#include <QApplication>
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "app/flow_driver.h"

namespace tolbe_test {

class ScriptedFlow : public FlowDriver {
public:
    static constexpr int kGiveUpMs = 30000;
    static constexpr int kGaveUp = -77;

    std::function<void(FlowView& view)> onStart;
    // Called with the number of this tick (the first is 1); nested ticks run while a box is open.
    std::function<void(FlowView& view, int tick)> onTick;
    bool finished = false;
    int starts = 0;
    int ticks = 0;

    ScriptedFlow() {
        m_watchdog.setSingleShot(true);
        QObject::connect(&m_watchdog, &QTimer::timeout, [this] { GiveUp(); });
    }

    void Start(FlowView& view) override {
        m_view = &view;
        ++starts;
        m_watchdog.start(kGiveUpMs);
        if (onStart) {
            onStart(view);
        }
    }

    void Tick() override {
        const int tick = ++ticks;
        if (onTick) {
            onTick(*m_view, tick);
        }
    }

    bool IsFinished() const override { return finished; }

private:
    void GiveUp() {
        ADD_FAILURE() << "the window was still open after " << kGiveUpMs << " ms, " << ticks
                      << " ticks";
        while (QWidget* box = QApplication::activeModalWidget()) {
            if (box->parentWidget() == nullptr) {
                break;  // the window itself
            }
            box->close();
        }
        m_view->EndDialog(kGaveUp);
    }

    FlowView* m_view = nullptr;
    QTimer m_watchdog;
};

}  // namespace tolbe_test

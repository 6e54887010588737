// The hooks that the application object runs: Qt started, the window run around the flow, Qt
// stopped again.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>

#include "tests/ui/qt/scripted_flow.h"
#include "ui/main_window_hooks.h"

namespace {

TEST(UiQtHooks, StartRunTheWindowAroundTheFlowAndStop) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    char name[] = "tolbe-launcher";
    char* argv[] = {name, nullptr};
    int argc = 1;
    const UiHooks hooks = MakeMainWindowHooks(argc, argv);

    // Twice, as nothing stops a caller from starting the graphics again after a stop.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(QCoreApplication::instance(), nullptr);
        hooks.startGraphics();
        EXPECT_NE(qobject_cast<QApplication*>(QCoreApplication::instance()), nullptr);

        tolbe_test::ScriptedFlow flow;
        flow.onTick = [](FlowView& view, int tick) {
            if (tick == 2) {
                view.EndDialog(0);
            }
        };
        hooks.runMainWindow(flow);
        EXPECT_EQ(flow.starts, 1);
        EXPECT_EQ(flow.ticks, 2) << "no tick after the window ended";

        hooks.stopGraphics();
        EXPECT_EQ(QCoreApplication::instance(), nullptr);
    }
}

}  // namespace

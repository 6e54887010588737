// Runs the window's tests on a real X display: an Xvfb server of the program's own, started
// before the QApplication that connects to it through the xcb platform, as on a player's desktop.

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>
#include <exception>
#include <memory>

#include "tests/support/temp_dir.h"
#include "tests/support/xvfb_display.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();  // listing the tests needs no display
    }
    tolbe_test::TempDir temp;
    std::unique_ptr<tolbe_test::XvfbDisplay> display;
    try {
        display = std::make_unique<tolbe_test::XvfbDisplay>(temp.Join("xvfb.log"));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "no X display: %s\n", error.what());
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("DISPLAY", display->name().c_str());
    qunsetenv("WAYLAND_DISPLAY");
    qputenv("XDG_RUNTIME_DIR", temp.path().c_str());
    // No session bus: the tests stay away from the desktop session of whoever runs them, and the
    // bus library never tries to start one (a failed start leaks memory).
    qputenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + temp.Join("no-bus")).c_str());
    int result = 0;
    {
        QApplication application(argc, argv);
        // The windows under test end through EndDialog, not because the last one closed.
        QApplication::setQuitOnLastWindowClosed(false);
        result = RUN_ALL_TESTS();
    }
    return result;
}

// Runs the window's tests off screen, all in one QApplication.

#include <gtest/gtest.h>

#include <QApplication>
#include <QString>
#include <cstdio>

namespace {

QtMessageHandler standardHandler = nullptr;

// The off-screen platform says so each time a window is shaped or sized by its contents; the
// tests look at the window's own mask instead, so these notes are only noise.
void QuietOffscreenNotes(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg && text.startsWith(QStringLiteral("This plugin does not support"))) {
        return;
    }
    if (standardHandler != nullptr) {
        standardHandler(type, context, text);
    } else {
        std::fprintf(stderr, "%s\n", qPrintable(text));
    }
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    standardHandler = qInstallMessageHandler(QuietOffscreenNotes);
    QApplication application(argc, argv);
    // The windows under test end through EndDialog, not because the last one closed.
    QApplication::setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}

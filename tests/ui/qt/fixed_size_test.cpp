// The main window on a real X display keeps its size and its layout: it tells the window manager
// that it cannot be resized, it refuses the program's own attempts to maximise or resize it, and a
// size forced on it from outside (as a window manager that ignores the hints would) moves none of
// its controls off the face.

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QTest>
#include <QWidget>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/ui/qt/scripted_flow.h"
#include "ui/qt/zorv_downloader_dlg.h"

namespace {

using tolbe_test::ScriptedFlow;

const QSize kFaceSize(980, 650);
constexpr const char* kControls[] = {"m_statusLine", "m_progress", "m_percentLabel"};

// WM_NORMAL_HINTS as ICCCM lays it out: 32-bit fields, flags first, the minimum size at 5 and 6,
// the maximum size at 7 and 8.
constexpr uint32_t kMinSizeFlag = 1u << 4;
constexpr uint32_t kMaxSizeFlag = 1u << 5;
constexpr uint32_t kMinWidthField = 5;
constexpr uint32_t kMaxWidthField = 7;
constexpr uint32_t kSizeHintsFields = 18;

// _MOTIF_WM_HINTS: flags, functions, decorations, ...; decorations count when flag bit 1 is set.
constexpr uint32_t kMotifDecorationsFlag = 1u << 1;
constexpr uint32_t kMotifFields = 5;
constexpr char kMotifHintsName[] = "_MOTIF_WM_HINTS";

struct SizeHints {
    std::optional<QSize> minimum;
    std::optional<QSize> maximum;
};

// A second client of the display, looking at the launcher's window from outside as a window
// manager does.
class XClient {
public:
    XClient() : m_connection(xcb_connect(nullptr, nullptr), xcb_disconnect) {}

    bool Connected() const { return xcb_connection_has_error(m_connection.get()) == 0; }

    SizeHints NormalHints(xcb_window_t window) const {
        const std::vector<uint32_t> fields =
            Property(window, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, kSizeHintsFields);
        SizeHints hints;
        if (fields.size() < kMaxWidthField + 2) {
            return hints;
        }
        const auto sizeAt = [&fields](uint32_t at) {
            return QSize(static_cast<int>(fields[at]), static_cast<int>(fields[at + 1]));
        };
        if (fields[0] & kMinSizeFlag) {
            hints.minimum = sizeAt(kMinWidthField);
        }
        if (fields[0] & kMaxSizeFlag) {
            hints.maximum = sizeAt(kMaxWidthField);
        }
        return hints;
    }

    // The decorations the window asks the window manager for; nullopt when it asks for none in
    // particular (the window manager then frames it as usual).
    std::optional<uint32_t> MotifDecorations(xcb_window_t window) const {
        const xcb_intern_atom_cookie_t cookie =
            xcb_intern_atom(m_connection.get(), 0, sizeof kMotifHintsName - 1, kMotifHintsName);
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
            xcb_intern_atom_reply(m_connection.get(), cookie, nullptr), std::free);
        if (!atom) {
            return std::nullopt;
        }
        const std::vector<uint32_t> fields = Property(window, atom->atom, atom->atom, kMotifFields);
        if (fields.size() < 3 || !(fields[0] & kMotifDecorationsFlag)) {
            return std::nullopt;
        }
        return fields[2];
    }

    // Resizes the window directly, bypassing whatever the window asked for.
    void ForceSize(xcb_window_t window, QSize size) const {
        const uint32_t values[] = {static_cast<uint32_t>(size.width()),
                                   static_cast<uint32_t>(size.height())};
        xcb_configure_window(m_connection.get(), window,
                             XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
        xcb_flush(m_connection.get());
    }

private:
    // The first `count` 32-bit fields of a window property; empty when it is not set.
    std::vector<uint32_t> Property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type,
                                   uint32_t count) const {
        const xcb_get_property_cookie_t cookie =
            xcb_get_property(m_connection.get(), 0, window, name, type, 0, count);
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
            xcb_get_property_reply(m_connection.get(), cookie, nullptr), std::free);
        if (!reply || reply->format != 32) {
            return {};
        }
        const auto* fields = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
        return std::vector<uint32_t>(fields,
                                     fields + xcb_get_property_value_length(reply.get()) / 4);
    }

    std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> m_connection;
};

class UiFixedSize : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(x.Connected());
        window.OnInitDialog();
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        layout = Layout();
    }

    std::map<std::string, QRect> Layout() {
        std::map<std::string, QRect> rects;
        for (const char* name : kControls) {
            rects[name] = window.findChild<QWidget*>(name)->geometry();
        }
        return rects;
    }

    xcb_window_t Id() { return static_cast<xcb_window_t>(window.winId()); }

    XClient x;
    ScriptedFlow flow;
    CZorvDownloaderDlg window{flow};
    std::map<std::string, QRect> layout;
};

TEST_F(UiFixedSize, WindowManagerIsToldTheWindowHasOneSizeAndNoFrame) {
    const SizeHints hints = x.NormalHints(Id());
    EXPECT_EQ(hints.minimum, kFaceSize);
    EXPECT_EQ(hints.maximum, kFaceSize);
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(x.MotifDecorations(Id()), 0u) << "no title bar or border around the shape";
}

TEST_F(UiFixedSize, MaximisingOrResizingLeavesSizeAndControls) {
    window.showMaximized();
    QTest::qWait(200);
    EXPECT_EQ(window.size(), kFaceSize) << "after showMaximized";
    window.showNormal();
    window.resize(1280, 800);
    window.setGeometry(0, 0, 640, 400);
    QTest::qWait(200);
    EXPECT_EQ(window.size(), kFaceSize) << "after resize and setGeometry";
    EXPECT_EQ(Layout(), layout);
}

TEST_F(UiFixedSize, SizeForcedFromOutsideMovesNoControl) {
    for (const QSize forced : {QSize(1280, 800), QSize(700, 500)}) {
        SCOPED_TRACE(testing::Message() << forced.width() << " x " << forced.height());
        x.ForceSize(Id(), forced);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.size() == forced; }, 5000))
            << "the window system's size reaches the window";
        EXPECT_EQ(Layout(), layout);
    }
}

}  // namespace

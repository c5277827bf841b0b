#include "PreferencesTestSupport.h"

#include "platform/desktop/KeyCodes.h"
#include "platform/desktop/X11Keyboard.h"
#include "platform/desktop/XcbXkb.h"
#include "platform/desktop/XkbKeymap.h"
#include "preferences/KeyboardInputSourceMonitor.h"
#include "preferences/KeyboardLayoutTranslator.h"
#include "support/PrivateXServer.h"

#include <QtCore/QEventLoop>
#include <QtCore/QTimer>

#include <cstdlib>
#include <memory>
#include <set>

namespace velto {
namespace {

constexpr std::uint64_t shift = ModifierFlags::shift;
constexpr std::uint64_t control = ModifierFlags::control;
constexpr std::uint64_t option = ModifierFlags::option;
constexpr std::uint64_t command = ModifierFlags::command;

KeyboardLayoutTranslator layout(const char *name, const char *variant = "") {
    std::shared_ptr<const XkbKeymap> keymap = XkbKeymap::fromLayoutNames(name, variant);
    EXPECT_NE(keymap, nullptr) << "no keyboard data for " << name;
    return KeyboardLayoutTranslator::forKeymap(keymap);
}

TEST(KeyCodeTable, MapsKeysBothWays) {
    const std::pair<std::uint32_t, std::uint32_t> cases[] = {
        {0, 30},   {49, 57}, {36, 28},  {48, 15}, {51, 14}, {117, 111}, {53, 1},  {123, 105}, {126, 103}, {122, 59},
        {90, 190}, {10, 86}, {93, 124}, {94, 89}, {82, 82}, {76, 96},   {55, 29}, {59, 125},  {58, 56},   {56, 42},
    };
    for (const auto &[keyCode, evdev] : cases) {
        EXPECT_EQ(keyCodes::evdevCode(keyCode), evdev) << keyCode;
        EXPECT_EQ(keyCodes::keyCode(evdev), keyCode) << evdev;
        EXPECT_EQ(keyCodes::x11KeyCode(keyCode), evdev + 8) << keyCode;
    }
    EXPECT_EQ(keyCodes::evdevCode(0x34), std::nullopt);
    EXPECT_EQ(keyCodes::evdevCode(65535), std::nullopt);
}

TEST(KeyCodeTable, EverySpecialKeyLabelHasAPhysicalKey) {
    for (const auto &[keyCode, label] : GlobalShortcut::specialKeyLabels()) {
        EXPECT_TRUE(keyCodes::evdevCode(keyCode).has_value()) << label.toStdString();
    }
}

TEST(KeyCodeTable, ModifiersFollowQtConvention) {
    EXPECT_EQ(keyCodes::qtModifiers(command), Qt::ControlModifier);
    EXPECT_EQ(keyCodes::qtModifiers(control), Qt::MetaModifier);
    EXPECT_EQ(keyCodes::qtModifiers(option | shift), Qt::AltModifier | Qt::ShiftModifier);
    EXPECT_EQ(keyCodes::modifierFlags(Qt::ControlModifier | Qt::MetaModifier), command | control);
    EXPECT_EQ(keyCodes::modifierFlags(Qt::KeypadModifier), 0u);
}

TEST(KeyboardLayoutTranslation, KeyLabelsUnderUsDeAndFr) {
    struct Case {
        const char *layout;
        std::uint32_t keyCode;
        std::uint64_t modifiers;
        std::optional<QString> text;
    };
    const Case cases[] = {
        {"us", 18, 0, "1"},       {"us", 18, shift, "!"},      {"us", 18, option, "1"},
        {"us", 18, command, "1"}, {"us", 18, control, "1"},    {"us", 18, option | shift, "!"},
        {"us", 0, 0, "a"},        {"us", 0, shift, "A"},       {"us", 24, 0, "="},
        {"us", 49, 0, " "},       {"de", 6, 0, "y"},           {"de", 16, 0, "z"},
        {"de", 27, 0, "ß"},       {"de", 24, 0, std::nullopt}, {"de", 10, 0, "<"},
        {"fr", 0, 0, "q"},        {"fr", 12, 0, "a"},          {"fr", 18, 0, "&"},
        {"fr", 18, shift, "1"},   {"fr", 33, 0, std::nullopt}, {"fr", 46, 0, ","},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(layout(c.layout).translate(c.keyCode, c.modifiers), c.text)
            << c.layout << " key " << c.keyCode << " modifiers " << c.modifiers;
    }
}

TEST(KeyboardLayoutTranslation, KeyCodesOutsideTheTableGiveNothing) {
    KeyboardLayoutTranslator us = layout("us");
    EXPECT_EQ(us.translate(65536, 0), std::nullopt);
    EXPECT_EQ(us.translate(65535, 0), std::nullopt);
    EXPECT_EQ(us.translate(0x34, 0), std::nullopt);
    EXPECT_EQ(us.translate(56, 0), std::nullopt) << "Shift types nothing";
}

TEST(KeyboardLayoutTranslation, UnknownLayoutAndUnavailableTranslatorGiveNothing) {
    EXPECT_EQ(XkbKeymap::fromLayoutNames("no-such-layout"), nullptr);
    EXPECT_EQ(KeyboardLayoutTranslator::forKeymap(nullptr).translate(0, 0), std::nullopt);
    EXPECT_EQ(KeyboardLayoutTranslator::unavailable().translate(0, 0), std::nullopt);
}

TEST(KeyboardLayoutTranslation, ActiveInputSourceWithoutDisplayGivesNothing) {
    if (qEnvironmentVariableIsSet("DISPLAY")) {
        GTEST_SKIP() << "a display is present";
    }
    EXPECT_EQ(KeyboardLayoutTranslator::activeInputSource().translate(0, 0), std::nullopt);
}

TEST(KeyboardLayoutTranslation, TypedLabelsBecomeShortcutLabelsOnlyWhenValid) {
    KeyboardLayoutTranslator de = layout("de");
    std::optional<QString> typed = de.translate(6, 0);
    ASSERT_TRUE(typed);
    EXPECT_TRUE(GlobalShortcut::isValidLocalKeyLabel(*typed));
    EXPECT_EQ(GlobalShortcut::normalizedKeyLabel(*typed), QStringLiteral("Y"));
}

class KeyboardInputSourceMonitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::coreApplication();
        QObject::connect(&destination, &VeltoNotificationCenter::veltoKeyboardInputSourceDidChange,
                         [this] { ++posted; });
    }

    // Any object with a signal can stand for the system's centre.
    VeltoNotificationCenter systemCenter;
    VeltoNotificationCenter destination;
    int posted = 0;
};

TEST_F(KeyboardInputSourceMonitorTest, RelaysOnTheEventLoop) {
    KeyboardInputSourceMonitor monitor{&systemCenter, &destination, "veltoPanelSizeModeDidChange()"};
    systemCenter.postPanelSizeModeDidChange();
    EXPECT_EQ(posted, 0) << "delivered from the event loop, not synchronously";
    QCoreApplication::processEvents();
    EXPECT_EQ(posted, 1);
    systemCenter.postPreferencesDidChange();
    QCoreApplication::processEvents();
    EXPECT_EQ(posted, 1) << "other notifications of the source are not relayed";
}

TEST_F(KeyboardInputSourceMonitorTest, ReleasedMonitorPostsNothingPending) {
    auto monitor =
        std::make_unique<KeyboardInputSourceMonitor>(&systemCenter, &destination, "veltoPanelSizeModeDidChange()");
    systemCenter.postPanelSizeModeDidChange();
    monitor.reset();
    QCoreApplication::processEvents();
    systemCenter.postPanelSizeModeDidChange();
    QCoreApplication::processEvents();
    EXPECT_EQ(posted, 0);
}

TEST_F(KeyboardInputSourceMonitorTest, ProductionMonitorIsQuietWithoutDisplay) {
    if (qEnvironmentVariableIsSet("DISPLAY")) {
        GTEST_SKIP() << "a display is present";
    }
    int defaultPosted = 0;
    QObject observer;
    QObject::connect(&VeltoNotificationCenter::defaultCenter(),
                     &VeltoNotificationCenter::veltoKeyboardInputSourceDidChange, &observer, [&] { ++defaultPosted; });
    KeyboardInputSourceMonitor monitor;
    QCoreApplication::processEvents();
    EXPECT_EQ(defaultPosted, 0);
}

} // namespace
} // namespace velto

namespace velto {
namespace {

// Starts a private X server (Xvfb) so that switching its layout disturbs no other program.
class ServerKeyboardLayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::coreApplication();
        if (std::optional<std::string> missing = testing::firstMissingProgram({"Xvfb", "setxkbmap"})) {
            GTEST_SKIP() << *missing << " is not installed";
        }
        server = std::make_unique<testing::PrivateXServer>(testing::currentEnvironment());
        ASSERT_TRUE(server->isReady()) << server->failure();
        keyboard = X11Keyboard::connect(server->display().c_str());
        ASSERT_NE(keyboard, nullptr) << "no keyboard on " << server->display();
    }

    void TearDown() override {
        keyboard.reset();
        server.reset();
    }

    bool switchLayout(const std::string &name) { return server->run({"setxkbmap", "-layout", name}).exitStatus == 0; }

    /// Locks the server's keyboard to layout `index` of its keymap, as a layout switcher does (the selected XKB
    /// group changes, the keymap stays), on a connection of its own; answers whether the server did it.
    bool selectLayout(std::uint8_t index) {
        xcb_connection_t *connection = xcb_connect(server->display().c_str(), nullptr);
        auto *extension = xcb_xkb_use_extension_reply(connection, xcb_xkb_use_extension(connection, 1, 0), nullptr);
        const bool supported = extension != nullptr && extension->supported;
        std::free(extension);
        xcb_generic_error_t *error = nullptr;
        if (supported) {
            error = xcb_request_check(connection, xcb_xkb_latch_lock_state_checked(connection, XCB_XKB_ID_USE_CORE_KBD,
                                                                                   0, 0, 1, index, 0, 0, 0));
        }
        std::free(error);
        xcb_disconnect(connection);
        return supported && error == nullptr;
    }

    /// Runs the event loop until the keyboard reports a change, or a generous time has passed.
    bool waitForChange() {
        QEventLoop loop;
        bool changed = false;
        QMetaObject::Connection watching = QObject::connect(keyboard.get(), &X11Keyboard::layoutChanged, &loop, [&] {
            changed = true;
            loop.quit();
        });
        keyboard->startWatching();
        QTimer::singleShot(testing::generousWait, &loop, &QEventLoop::quit);
        if (!changed) {
            loop.exec();
        }
        QObject::disconnect(watching);
        return changed;
    }

    std::unique_ptr<testing::PrivateXServer> server;
    std::unique_ptr<X11Keyboard> keyboard;
};

TEST_F(ServerKeyboardLayoutTest, TranslationAndChangeEventsFollowTheServersLayout) {
    // X11 key code 52 is the key left of X: "z" on a US keyboard, "y" on a German one.
    ASSERT_TRUE(switchLayout("us"));
    EXPECT_EQ(keyboard->typedText(52, false), "z");

    ASSERT_TRUE(switchLayout("de"));
    EXPECT_TRUE(waitForChange());
    EXPECT_EQ(keyboard->typedText(52, false), "y");
    EXPECT_EQ(keyboard->typedText(52, true), "Y");
    EXPECT_EQ(keyboard->typedText(21, false), std::nullopt) << "the dead acute key types nothing by itself";
}

// The layout selected within one keymap of two (a group switch, no new keymap) is followed too: announced on
// the event loop, and known at once to a translation asked right after the switch, before any event is handled.
TEST_F(ServerKeyboardLayoutTest, TranslationFollowsTheLayoutSelectedWithinTheKeymap) {
    ASSERT_EQ(server->run({"setxkbmap", "-layout", "us,de"}).exitStatus, 0);
    waitForChange();
    EXPECT_EQ(keyboard->typedText(52, false), "z");

    ASSERT_TRUE(selectLayout(1));
    EXPECT_TRUE(waitForChange());
    EXPECT_EQ(keyboard->typedText(52, false), "y");

    ASSERT_TRUE(selectLayout(0));
    EXPECT_EQ(keyboard->typedText(52, false), "z") << "asked before the event loop ran";
    ASSERT_TRUE(selectLayout(1));
    EXPECT_EQ(keyboard->typedText(52, true), "Y") << "asked before the event loop ran";
}

} // namespace
} // namespace velto

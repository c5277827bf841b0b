#include "app/hotkeys/HotKeyController.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace velto {
namespace {

const GlobalShortcut altSpace{49, ModifierFlags::option, QStringLiteral("Space")};
const GlobalShortcut ctrlAltV{9, ModifierFlags::option | ModifierFlags::command, QStringLiteral("V")};

/// The system's hot-key service as a log of calls, refusing what the test says.
struct FakeHotKeyService {
    std::vector<std::string> calls;
    std::int32_t installStatus = hotKeyNoErr;
    bool installWritesReference = true;
    std::set<std::uint32_t> refusedKeyCodes;
    bool refusalWritesReference = false;
    std::set<HotKeyOperations::Reference> registered;
    HotKeyOperations::Reference next = 100;
    HotKeyController *handlerTarget = nullptr;

    HotKeyOperations operations() {
        HotKeyOperations operations;
        operations.installEventHandler = [this](HotKeyController *controller,
                                                std::optional<HotKeyOperations::Reference> &handler) {
            calls.push_back("install");
            if (installWritesReference) {
                handler = 1;
            }
            handlerTarget = controller;
            return installStatus;
        };
        operations.registerEventHotKey = [this](std::uint32_t keyCode, std::uint32_t modifiers, HotKeyID id,
                                                std::optional<HotKeyOperations::Reference> &hotKey) {
            calls.push_back("register " + std::to_string(keyCode) + " " + std::to_string(modifiers) + " #" +
                            std::to_string(id.id));
            EXPECT_EQ(id.signature, HotKeyID::veltoSignature);
            if (refusedKeyCodes.count(keyCode) != 0) {
                if (refusalWritesReference) {
                    hotKey = next++;
                    registered.insert(*hotKey);
                }
                return -9878;
            }
            hotKey = next++;
            registered.insert(*hotKey);
            return hotKeyNoErr;
        };
        operations.unregisterEventHotKey = [this](HotKeyOperations::Reference hotKey) {
            calls.push_back("unregister " + std::to_string(hotKey));
            registered.erase(hotKey);
            return hotKeyNoErr;
        };
        operations.removeEventHandler = [this](HotKeyOperations::Reference handler) {
            calls.push_back("remove " + std::to_string(handler));
            return hotKeyNoErr;
        };
        return operations;
    }
};

struct Shortcuts {
    std::optional<GlobalShortcut> toggle = altSpace;
    std::optional<GlobalShortcut> append = ctrlAltV;
};

std::unique_ptr<HotKeyController> makeController(FakeHotKeyService &service, Shortcuts &shortcuts) {
    return std::make_unique<HotKeyController>(
        service.operations(), [&shortcuts] { return shortcuts.toggle; }, [&shortcuts] { return shortcuts.append; });
}

TEST(HotKeyController, RegistrationOutcomesForEveryCombinationOfSetRefusedAndConflictingShortcuts) {
    const GlobalShortcut altSpaceWithCapsLockBit{49, ModifierFlags::option | (1u << 16), QStringLiteral("Space")};
    struct Case {
        const char *name;
        std::optional<GlobalShortcut> toggle;
        std::optional<GlobalShortcut> append;
        std::set<std::uint32_t> refused;
        ShortcutRegistrationAvailability expected;
        std::size_t registeredCount;
    };
    const Case cases[] = {
        {"both free", altSpace, ctrlAltV, {}, {true, true}, 2},
        {"no shortcuts set", std::nullopt, std::nullopt, {}, {true, true}, 0},
        {"only append set", std::nullopt, ctrlAltV, {}, {true, true}, 1},
        {"same combination", altSpace, altSpace, {}, {false, false}, 0},
        {"same but for a lock bit", altSpace, altSpaceWithCapsLockBit, {}, {false, false}, 0},
        {"show/hide refused", altSpace, ctrlAltV, {49}, {false, false}, 0},
        {"append refused", altSpace, ctrlAltV, {9}, {true, false}, 1},
        {"both refused", altSpace, ctrlAltV, {49, 9}, {false, false}, 0},
    };
    for (const Case &test : cases) {
        FakeHotKeyService service;
        service.refusedKeyCodes = test.refused;
        Shortcuts shortcuts{test.toggle, test.append};
        auto controller = makeController(service, shortcuts);
        EXPECT_EQ(controller->registerDefaults(), test.expected) << test.name;
        EXPECT_EQ(controller->hotKeys().size(), test.registeredCount) << test.name;
        EXPECT_EQ(service.registered.size(), test.registeredCount) << test.name << ": a refused key stays registered";
    }
}

TEST(HotKeyController, AShowHideRefusalNeverTriesTheAppendShortcutAndReleasesAReferenceWrittenAnyway) {
    FakeHotKeyService service;
    service.refusedKeyCodes = {49};
    service.refusalWritesReference = true;
    Shortcuts shortcuts;
    auto controller = makeController(service, shortcuts);
    EXPECT_EQ(controller->registerDefaults(), (ShortcutRegistrationAvailability{false, false}));
    EXPECT_EQ(service.calls, (std::vector<std::string>{"install", "register 49 2048 #1", "unregister 100"}));
    EXPECT_TRUE(service.registered.empty());
}

// What the tray menu and Settings say of the shortcuts: the last registration's answer, which a recorder's pause
// (every hot key taken off while it listens) leaves as it was.
TEST(HotKeyController, TheAvailabilityIsTheLastRegistrationsAndOutlastsTakingTheKeysOff) {
    FakeHotKeyService service;
    Shortcuts shortcuts;
    auto controller = makeController(service, shortcuts);
    EXPECT_EQ(controller->availability(), (ShortcutRegistrationAvailability{true, true}));
    service.refusedKeyCodes = {49};
    controller->registerDefaults();
    EXPECT_EQ(controller->availability(), (ShortcutRegistrationAvailability{false, false}));
    controller->unregisterAll();
    EXPECT_EQ(controller->availability(), (ShortcutRegistrationAvailability{false, false}));
    service.refusedKeyCodes = {};
    controller->registerDefaults();
    EXPECT_EQ(controller->availability(), (ShortcutRegistrationAvailability{true, true}));
}

TEST(HotKeyController, HandlerInstallationFailuresRegisterNothingAndAreRetriedNextTime) {
    FakeHotKeyService failing;
    failing.installStatus = -1;
    Shortcuts shortcuts;
    auto controller = makeController(failing, shortcuts);
    EXPECT_EQ(controller->registerDefaults(), (ShortcutRegistrationAvailability{false, false}));
    EXPECT_EQ(failing.calls, (std::vector<std::string>{"install", "remove 1"}));

    failing.installStatus = hotKeyNoErr;
    EXPECT_EQ(controller->registerDefaults(), (ShortcutRegistrationAvailability{true, true}));
    EXPECT_TRUE(controller->hasEventHandler());

    FakeHotKeyService silent;
    silent.installWritesReference = false;
    auto second = makeController(silent, shortcuts);
    EXPECT_EQ(second->registerDefaults(), (ShortcutRegistrationAvailability{false, false}));
    EXPECT_EQ(silent.calls, (std::vector<std::string>{"install"}));
}

TEST(HotKeyController, RegisteringAgainReplacesTheEarlierRegistrationsAndInstallsTheHandlerOnce) {
    FakeHotKeyService service;
    Shortcuts shortcuts;
    auto controller = makeController(service, shortcuts);
    controller->registerDefaults();
    shortcuts.append = std::nullopt; // the providers are read at every registration
    EXPECT_EQ(controller->registerDefaults(), (ShortcutRegistrationAvailability{true, true}));
    EXPECT_EQ(service.calls, (std::vector<std::string>{"install", "register 49 2048 #1", "register 9 2304 #2",
                                                       "unregister 100", "unregister 101", "register 49 2048 #1"}));
    EXPECT_EQ(controller->hotKeys(), (std::vector<HotKeyOperations::Reference>{102}));

    controller->unregisterAll();
    EXPECT_TRUE(controller->hotKeys().empty());
    EXPECT_TRUE(service.registered.empty());
    EXPECT_TRUE(controller->hasEventHandler());

    service.calls.clear();
    controller.reset();
    EXPECT_EQ(service.calls, (std::vector<std::string>{"remove 1"}));
}

TEST(HotKeyController, ReleasingTheControllerUnregistersItsKeysInOrderThenRemovesTheHandler) {
    FakeHotKeyService service;
    Shortcuts shortcuts;
    auto controller = makeController(service, shortcuts);
    controller->registerDefaults();
    service.calls.clear();
    controller.reset();
    EXPECT_EQ(service.calls, (std::vector<std::string>{"unregister 100", "unregister 101", "remove 1"}));
}

struct Presses {
    int toggles = 0;
    int appends = 0;
};

std::unique_ptr<HotKeyController> countingController(FakeHotKeyService &service, Shortcuts &shortcuts,
                                                     Presses &presses) {
    auto controller = makeController(service, shortcuts);
    QObject::connect(controller.get(), &HotKeyController::togglePressed, [&presses] { ++presses.toggles; });
    QObject::connect(controller.get(), &HotKeyController::appendClipboardPressed, [&presses] { ++presses.appends; });
    controller->registerDefaults();
    return controller;
}

HotKeyEvent press(std::uint32_t id, std::uint32_t time) {
    return {{HotKeyID::veltoSignature, id}, true, time};
}
HotKeyEvent release(std::uint32_t id, std::uint32_t time) {
    return {{HotKeyID::veltoSignature, id}, false, time};
}

TEST(HotKeyController, PressesRunTheirCallbackAndUnknownIdentifiersAreStillHandled) {
    FakeHotKeyService service;
    Shortcuts shortcuts;
    Presses presses;
    auto controller = countingController(service, shortcuts, presses);
    EXPECT_EQ(controller->handleHotKeyEvent(press(1, 10)), hotKeyNoErr);
    EXPECT_EQ(controller->handleHotKeyEvent(press(2, 11)), hotKeyNoErr);
    EXPECT_EQ(controller->handleHotKeyEvent(press(7, 12)), hotKeyNoErr);
    EXPECT_EQ(controller->handleHotKeyEvent(std::nullopt), hotKeyEventNotHandled);
    EXPECT_EQ(presses.toggles, 1);
    EXPECT_EQ(presses.appends, 1);

    HotKeyEvent otherSignature{{0x41424344, 2}, true, 20}; // the identifier alone selects the callback
    controller->handleHotKeyEvent(release(2, 15));
    controller->handleHotKeyEvent(otherSignature);
    EXPECT_EQ(presses.appends, 2);
}

TEST(HotKeyController, AHeldKeyActsOnceWhateverWayTheServerReportsItsRepeats) {
    struct Case {
        const char *name;
        std::vector<HotKeyEvent> events;
        int toggles;
    };
    const Case cases[] = {
        {"detectable repeats: presses without releases", {press(1, 10), press(1, 40), press(1, 70), release(1, 90)}, 1},
        {"plain repeats: release and press at the same time",
         {press(1, 10), release(1, 40), press(1, 40), release(1, 70), press(1, 70), release(1, 95)},
         1},
        {"two real presses", {press(1, 10), release(1, 40), press(1, 200), release(1, 240)}, 2},
        {"a lone release", {release(1, 10)}, 0},
        {"a release that went astray", {press(1, 10), press(1, 5000), release(1, 5100)}, 2},
        {"a long hold repeating", {press(1, 10), press(1, 700), press(1, 730), press(1, 2200), press(1, 3600)}, 1},
    };
    for (const Case &test : cases) {
        FakeHotKeyService service;
        Shortcuts shortcuts;
        Presses presses;
        auto controller = countingController(service, shortcuts, presses);
        for (const HotKeyEvent &event : test.events) {
            controller->handleHotKeyEvent(event);
        }
        EXPECT_EQ(presses.toggles, test.toggles) << test.name;
    }
}

TEST(HotKeyController, HoldingOneShortcutDoesNotSwallowTheOtherAndRegisteringForgetsHeldKeys) {
    FakeHotKeyService service;
    Shortcuts shortcuts;
    Presses presses;
    auto controller = countingController(service, shortcuts, presses);
    controller->handleHotKeyEvent(press(1, 10));
    controller->handleHotKeyEvent(press(2, 20));
    EXPECT_EQ(presses.toggles, 1);
    EXPECT_EQ(presses.appends, 1);

    // The release went to a grab that no longer exists; the next press after registering again is a new one.
    controller->registerDefaults();
    controller->handleHotKeyEvent(press(1, 500));
    EXPECT_EQ(presses.toggles, 2);
}

} // namespace
} // namespace velto

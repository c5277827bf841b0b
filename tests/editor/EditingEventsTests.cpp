#include "editor/editing/EditingCore.h"
#include "editor/text/TextStorage.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace velto::editor;

namespace {

// ---- who is told of a storage's editing groups ----

/// Storage observers that write their names into one log, and may act once while they are told.
struct Listeners {
    struct Listener final : TextStorageObserver {
        Listeners &owner;
        std::string name;
        std::function<void()> onceWhenTold;
        Listener(Listeners &listeners, std::string listenerName)
            : owner(listeners)
            , name(std::move(listenerName)) {}
        void editingGroupDidFinish(const EditingSummary &) override {
            owner.log += name;
            if (auto act = std::exchange(onceWhenTold, nullptr)) {
                act();
            }
        }
    };

    std::unique_ptr<TextStorage> storage = std::make_unique<TextStorage>(u"text");
    std::string log;
    Listener a{*this, "a"}, b{*this, "b"}, c{*this, "c"}, d{*this, "d"};
    Subscription toA, toB, toC, toD;

    void subscribeABC() {
        toA = storage->subscribe(a);
        toB = storage->subscribe(b);
        toC = storage->subscribe(c);
    }
    /// One edit; what it told, in order.
    std::string edit() {
        log.clear();
        storage->replaceCharacters(TextRange{0, 0}, u"x");
        return log;
    }
};

struct SubscriptionCase {
    const char *name;
    std::function<void(Listeners &)> arrange;
    std::vector<std::string> toldByEachEdit;
};

class StorageSubscriptions : public ::testing::TestWithParam<SubscriptionCase> {};

TEST_P(StorageSubscriptions, TellTheObserversStillSubscribedInTheOrderTheySubscribed) {
    Listeners listeners;
    listeners.subscribeABC();
    GetParam().arrange(listeners);
    for (const std::string &expected : GetParam().toldByEachEdit) {
        EXPECT_EQ(listeners.edit(), expected);
    }
}

const SubscriptionCase subscriptionCases[] = {
    {"InOrder", [](Listeners &) {}, {"abc", "abc"}},
    {"EndedIsNotTold", [](Listeners &l) { l.toB.end(); }, {"ac"}},
    {"DestroyedIsNotTold", [](Listeners &l) { [[maybe_unused]] const Subscription gone = std::move(l.toB); }, {"ac"}},
    {"MovedStaysSubscribed", [](Listeners &l) { l.toD = std::move(l.toB); }, {"abc"}},
    {"ReplacedEndsTheOldOne", [](Listeners &l) { l.toA = l.storage->subscribe(l.d); }, {"bcd"}},
    {"EndedDuringANotificationIsNotToldByIt",
     [](Listeners &l) { l.a.onceWhenTold = [&l] { l.toC.end(); }; },
     {"ab", "ab"}},
    {"EndingItselfDuringANotificationLetsTheOthersBeTold",
     [](Listeners &l) { l.b.onceWhenTold = [&l] { l.toB.end(); }; },
     {"abc", "ac"}},
    {"SubscribedDuringANotificationIsToldFromTheNextOn",
     [](Listeners &l) { l.a.onceWhenTold = [&l] { l.toD = l.storage->subscribe(l.d); }; },
     {"abc", "abcd"}},
    {"AnEditDuringANotificationTellsEveryoneAgainAtOnce",
     [](Listeners &l) { l.a.onceWhenTold = [&l] {
                            l.storage->replaceCharacters(TextRange{0, 0}, u"y");
                        }; },
     {"aabcbc", "abc"}},
    {"ACopyOfTheStorageTellsNoOne",
     [](Listeners &l) { l.storage = std::make_unique<TextStorage>(*l.storage); },
     {"", ""}},
};

INSTANTIATE_TEST_SUITE_P(, StorageSubscriptions, ::testing::ValuesIn(subscriptionCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(StorageSubscription, OutlivesItsStorageAndEndsQuietly) {
    Listeners listeners;
    listeners.subscribeABC();
    listeners.storage.reset();
    listeners.toA.end();
    Subscription moved = std::move(listeners.toB);
    // toC and moved end when they go, after the storage they subscribed to.
}

// ---- what the editing core asks and tells, and when ----

/// A core whose policy and observer write down every question and news of the change protocol.
struct Protocol final : EditPolicy, EditingObserver {
    TextStorage storage;
    EditingCore core{storage, this};
    std::vector<std::string> log;
    bool allows = true;
    Subscription subscription = core.subscribe(*this);

    static std::string span(TextRange range, std::u16string_view replacement) {
        return std::to_string(range.location) + "+" + std::to_string(range.length) + ">" +
               std::to_string(replacement.size());
    }
    bool allowsChange(TextRange range, std::u16string_view replacement) override {
        log.push_back("allow? " + span(range, replacement));
        return allows;
    }
    void textWillChange(TextRange range, std::u16string_view replacement) override {
        // The storage still holds what is about to go.
        log.push_back("will " + span(range, replacement) + " of " + std::to_string(storage.length()));
    }
    void textDidChange() override { log.push_back("did " + std::to_string(storage.length())); }
    void selectionDidChange() override { log.push_back("selection " + std::to_string(core.selectedRange().location)); }
};

struct ProtocolCase {
    const char *name;
    bool allows;
    bool editable;
    std::function<void(EditingCore &)> act;
    std::vector<std::string> log;
    std::u16string textAfter;
};

class EditingProtocol : public ::testing::TestWithParam<ProtocolCase> {};

TEST_P(EditingProtocol, AsksThePolicyThenTellsTheObserversAroundTheChange) {
    const ProtocolCase &c = GetParam();
    Protocol protocol;
    protocol.core.loadText(u"one two");
    protocol.core.setSelectedRange(TextRange{3, 0});
    protocol.core.insertText(u"!");
    protocol.core.breakUndoCoalescing();
    protocol.log.clear();
    protocol.allows = c.allows;
    protocol.core.setEditable(c.editable);
    c.act(protocol.core);
    EXPECT_EQ(protocol.log, c.log);
    EXPECT_EQ(protocol.storage.string(), c.textAfter);
}

const ProtocolCase protocolCases[] = {
    {"TypingSetsTheCaretBeforeItTellsOfTheChange",
     true,
     true,
     [](EditingCore &core) { core.insertText(u"s"); },
     {"allow? 4+0>1", "will 4+0>1 of 8", "selection 5", "did 9"},
     u"one!s two"},
    {"AReplacementTellsOfTheChangeBeforeItSelects",
     true,
     true,
     [](EditingCore &core) {
         core.replaceText(TextRange{5, 3}, u"2", TextRange{0, 0});
     },
     {"allow? 5+3>1", "will 5+3>1 of 8", "did 6", "selection 0"},
     u"one! 2"},
    {"UndoTellsOfTheChangeBeforeItSelects",
     true,
     true,
     [](EditingCore &core) { core.undoManager()->undo(); },
     {"allow? 3+1>0", "will 3+1>0 of 8", "did 7", "selection 3"},
     u"one two"},
    {"ARefusedChangeTellsNoOne",
     false,
     true,
     [](EditingCore &core) {
         core.insertText(u"s");
         core.replaceText(TextRange{0, 3}, u"1", TextRange{0, 0});
         core.undoManager()->undo();
     },
     {"allow? 4+0>1", "allow? 0+3>1", "allow? 3+1>0"},
     u"one! two"},
    {"AViewThatIsNotEditableAsksNoPolicy",
     true,
     false,
     [](EditingCore &core) {
         core.deleteBackward();
         core.replaceText(TextRange{0, 3}, u"1", TextRange{0, 0});
     },
     {},
     u"one! two"},
    {"ALoadTellsOnlyOfTheSelection",
     true,
     true,
     [](EditingCore &core) { core.loadText(u"new"); },
     {"selection 3"},
     u"new"},
};

INSTANTIATE_TEST_SUITE_P(, EditingProtocol, ::testing::ValuesIn(protocolCases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace

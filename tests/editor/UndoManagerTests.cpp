#include "editor/editing/UndoManager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace velto::editor;

namespace {

// A value whose every change registers the change back, as the text does: undoing a change registers
// its redo, and redoing it registers the undo again.
struct UndoableValue {
    std::string value;
    std::vector<std::string> log;

    void set(UndoManager &manager, const std::string &newValue) {
        std::string old = value;
        manager.registerUndo([this, old](UndoManager &running) { set(running, old); });
        value = newValue;
        log.push_back(newValue);
    }
};

/// Every test starts from a fresh manager and a value that registers its changes with it.
class UndoManagerTests : public ::testing::Test {
protected:
    UndoManager manager;
    UndoableValue text;
};

} // namespace

TEST_F(UndoManagerTests, UndoRegistersRedoAndRedoRegistersUndo) {
    text.set(manager, "a");
    text.set(manager, "ab");
    EXPECT_TRUE(manager.canUndo());
    EXPECT_FALSE(manager.canRedo());

    manager.undo();
    EXPECT_EQ(text.value, "a");
    EXPECT_TRUE(manager.canRedo());
    manager.undo();
    EXPECT_EQ(text.value, "");
    EXPECT_FALSE(manager.canUndo());

    manager.redo();
    manager.redo();
    EXPECT_EQ(text.value, "ab");
    EXPECT_FALSE(manager.canRedo());
    manager.undo();
    EXPECT_EQ(text.value, "a");
}

TEST_F(UndoManagerTests, GroupIsUndoneAsOneStepNewestFirst) {
    manager.beginUndoGrouping();
    text.set(manager, "a");
    manager.beginUndoGrouping(); // a nested group folds into its parent
    text.set(manager, "ab");
    manager.endUndoGrouping();
    text.set(manager, "abc");
    manager.endUndoGrouping();

    text.log.clear();
    manager.undo();
    EXPECT_EQ(text.value, "");
    EXPECT_EQ(text.log, (std::vector<std::string>{"ab", "a", ""}));
    EXPECT_FALSE(manager.canUndo());

    text.log.clear();
    manager.redo();
    EXPECT_EQ(text.value, "abc");
    EXPECT_EQ(text.log, (std::vector<std::string>{"a", "ab", "abc"}));
}

TEST_F(UndoManagerTests, UndoClosesAnOpenGroupFirst) {
    text.set(manager, "a");
    manager.beginUndoGrouping();
    text.set(manager, "ab");
    EXPECT_TRUE(manager.canUndo());
    manager.undo();
    EXPECT_EQ(manager.groupingLevel(), 0);
    EXPECT_EQ(text.value, "a");
}

TEST_F(UndoManagerTests, EmptyGroupLeavesNothingToUndo) {
    manager.beginUndoGrouping();
    manager.beginUndoGrouping();
    manager.endUndoGrouping();
    manager.endUndoGrouping();
    manager.endUndoGrouping(); // unmatched: ignored
    EXPECT_FALSE(manager.canUndo());
}

TEST_F(UndoManagerTests, NewRegistrationClearsRedoButRedoingDoesNot) {
    text.set(manager, "a");
    text.set(manager, "ab");
    manager.undo();
    manager.undo();
    manager.redo(); // its registration goes to undo and keeps the second redo
    EXPECT_TRUE(manager.canRedo());
    text.set(manager, "x");
    EXPECT_FALSE(manager.canRedo());
    manager.undo();
    EXPECT_EQ(text.value, "a");
}

TEST_F(UndoManagerTests, ActionNameSetAfterRegistrationNamesTheStepAndItsRedo) {
    text.set(manager, "a");
    manager.setActionName(QStringLiteral("Append Clipboard"));
    manager.beginUndoGrouping();
    text.set(manager, "ab");
    manager.setActionName(QStringLiteral("New Page"));
    manager.endUndoGrouping();

    EXPECT_EQ(manager.undoActionName(), QStringLiteral("New Page"));
    manager.undo();
    EXPECT_EQ(manager.redoActionName(), QStringLiteral("New Page"));
    EXPECT_EQ(manager.undoActionName(), QStringLiteral("Append Clipboard"));
    manager.redo();
    EXPECT_EQ(manager.undoActionName(), QStringLiteral("New Page"));
}

TEST_F(UndoManagerTests, DisablingNestsAndDropsRegistrations) {
    manager.disableUndoRegistration();
    manager.disableUndoRegistration();
    text.set(manager, "a");
    manager.enableUndoRegistration();
    EXPECT_FALSE(manager.isUndoRegistrationEnabled());
    text.set(manager, "ab");
    manager.enableUndoRegistration();
    EXPECT_TRUE(manager.isUndoRegistrationEnabled());
    EXPECT_FALSE(manager.canUndo());
    manager.enableUndoRegistration(); // unmatched: registration stays on
    text.set(manager, "abc");
    manager.undo();
    EXPECT_EQ(text.value, "ab");
}

TEST_F(UndoManagerTests, RemoveAllActionsForgetsBothSides) {
    text.set(manager, "a");
    text.set(manager, "ab");
    manager.undo();
    manager.removeAllActions();
    EXPECT_FALSE(manager.canUndo());
    EXPECT_FALSE(manager.canRedo());
    EXPECT_TRUE(manager.undoActionName().isEmpty());
}

TEST_F(UndoManagerTests, ReportsUndoingAndRedoingWhileActionsRun) {
    std::vector<std::string> seen;
    manager.registerUndo([&seen](UndoManager &running) {
        seen.push_back(running.isUndoing() ? "undoing" : "?");
        running.registerUndo([&seen](UndoManager &again) { seen.push_back(again.isRedoing() ? "redoing" : "?"); });
    });
    manager.undo();
    manager.redo();
    EXPECT_EQ(seen, (std::vector<std::string>{"undoing", "redoing"}));
    EXPECT_FALSE(manager.isUndoing());
    EXPECT_FALSE(manager.isRedoing());
}

TEST_F(UndoManagerTests, ChangeCountMovesOnEveryUse) {
    std::uint64_t count = manager.changeCount();
    text.set(manager, "a");
    EXPECT_GT(manager.changeCount(), count);
    count = manager.changeCount();
    manager.undo();
    EXPECT_GT(manager.changeCount(), count);
    count = manager.changeCount();
    manager.removeAllActions();
    EXPECT_GT(manager.changeCount(), count);
}

#include "preferences/CommandRegistry.h"

#include <gtest/gtest.h>

namespace velto {
namespace {

using enum VeltoCommandID;

class CommandRegistryTest : public ::testing::Test {
protected:
    VeltoCommandRegistry registry{std::vector{newPage, archivePage, nextPage, toggleTaskCheckbox},
                                  [this] {
                                      ++contextCalls;
                                      return context;
                                  },
                                  [this](VeltoCommandID id) { performed.push_back(id); }};
    VeltoCommandContext context;
    int contextCalls = 0;
    std::vector<VeltoCommandID> performed;
};

TEST(CommandAvailability, RulesOfEachKind) {
    struct Case {
        VeltoCommandAvailability availability;
        VeltoCommandContext context;
        bool available;
    };
    using enum VeltoCommandAvailability;
    const Case cases[] = {
        {always, {}, true},
        {editableNonemptyPage, {true, true, false, false}, true},
        {editableNonemptyPage, {true, false, true, false}, false},
        {editableNonemptyPage, {false, true, true, true}, false},
        {editableArchivablePage, {true, false, true, false}, true},
        {editableArchivablePage, {true, true, false, false}, true},
        {editableArchivablePage, {true, false, false, false}, false},
        {editableArchivablePage, {false, true, true, false}, false},
        {editableTaskCheckbox, {true, false, false, true}, true},
        {editableTaskCheckbox, {false, false, false, true}, false},
        {editableTaskCheckbox, {true, true, true, false}, false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(isAvailable(c.availability, c.context), c.available);
    }
}

TEST_F(CommandRegistryTest, ReadOnlyPageRunsOnlyAlwaysAvailableCommands) {
    context = {false, true, true, true};
    EXPECT_FALSE(registry.perform(newPage));
    EXPECT_FALSE(registry.perform(archivePage));
    EXPECT_FALSE(registry.perform(toggleTaskCheckbox));
    EXPECT_TRUE(registry.perform(nextPage));
    EXPECT_EQ(performed, std::vector{nextPage});
    EXPECT_EQ(contextCalls, 4) << "one context per check";
}

TEST_F(CommandRegistryTest, ArchivingAnEmptyPageNeedsAnotherActivePage) {
    context = {true, false, true, false};
    EXPECT_TRUE(registry.isAvailable(archivePage));
    EXPECT_FALSE(registry.isAvailable(newPage)) << "a new page needs text on the current one";
    context.hasOtherActivePages = false;
    EXPECT_FALSE(registry.isAvailable(archivePage));
}

TEST_F(CommandRegistryTest, UnregisteredCommandIsUnavailable) {
    EXPECT_FALSE(registry.isAvailable(closePanel));
    EXPECT_FALSE(registry.perform(closePanel));
    EXPECT_FALSE(registry.command(closePanel).has_value());
    EXPECT_TRUE(registry.command(nextPage).has_value());
    EXPECT_EQ(contextCalls, 0);
}

TEST_F(CommandRegistryTest, MenuItemsRunTheCommandTheirIdentifierNames) {
    QObject named;
    named.setObjectName("page.next");
    QObject unnamed;
    QObject other;
    other.setObjectName("page.next.later");
    registry.performMenuCommand(&named);
    registry.performMenuCommand(&unnamed);
    registry.performMenuCommand(&other);
    registry.performMenuCommand(nullptr);
    EXPECT_EQ(performed, std::vector{nextPage});
}

TEST(CommandMenuTarget, HandsEveryNamedCommandToItsHandler) {
    std::vector<VeltoCommandID> handled;
    VeltoCommandMenuTarget target{[&](VeltoCommandID id) { handled.push_back(id); }};
    QObject settings;
    settings.setObjectName("settings.open");
    QObject unnamed;
    target.performCommand(&settings);
    target.performCommand(&unnamed);
    EXPECT_EQ(handled, std::vector{openSettings});
}

TEST(CommandRegistryCommands, RegisteredHandlersRun) {
    int runs = 0;
    VeltoCommandRegistry registry{{VeltoCommand{closePanel, [&] { ++runs; }}}, [] { return VeltoCommandContext{}; }};
    EXPECT_TRUE(registry.perform(closePanel));
    EXPECT_EQ(runs, 1);
}

} // namespace
} // namespace velto

#include "PreferencesTestSupport.h"

#include "preferences/CommandCatalog.h"
#include "preferences/LocalShortcutRouter.h"

#include <set>

namespace velto {
namespace {

using enum VeltoCommandID;
using CommandCatalogTest = testing::TemporaryPreferences;

constexpr std::uint64_t control = ModifierFlags::control;
constexpr std::uint64_t command = ModifierFlags::command;

const GlobalShortcut &defaultShortcut(VeltoCommandID id) {
    return VeltoCommandCatalog::descriptor(id).shortcut->defaultShortcut;
}

// The catalog is read by menus, the panel's key routing, Settings, the shortcut hints and keyboard-settings
// files: these tests check what those readers rely on. That the defaults collide with neither each other,
// native commands nor the hot keys is checked where keyboard settings are validated.

TEST(CommandCatalog, EveryCommandHasOneTitledDescriptorFoundByItsUniqueRawValue) {
    ASSERT_EQ(VeltoCommandCatalog::descriptors().size(), allCommandIDs().size());
    std::set<QString> rawValues;
    for (std::size_t index = 0; index < allCommandIDs().size(); ++index) {
        VeltoCommandID id = allCommandIDs()[index];
        SCOPED_TRACE(rawValue(id).toStdString());
        EXPECT_EQ(VeltoCommandCatalog::descriptors()[index].id, id);
        EXPECT_EQ(VeltoCommandCatalog::descriptor(id).id, id);
        EXPECT_FALSE(VeltoCommandCatalog::descriptor(id).title.isEmpty());
        EXPECT_TRUE(rawValues.insert(rawValue(id)).second) << "raw value used twice";
        EXPECT_EQ(commandIDFromRawValue(rawValue(id)), id);
    }
}

TEST(CommandCatalog, ShortcutsAreTitledAndHintsHaveOneOrder) {
    std::set<int> hintOrders;
    for (VeltoCommandID id : VeltoCommandCatalog::shortcutCommandIDs()) {
        const VeltoCommandShortcut &shortcut = *VeltoCommandCatalog::descriptor(id).shortcut;
        SCOPED_TRACE(rawValue(id).toStdString());
        EXPECT_FALSE(shortcut.settingsTitle.isEmpty());
        EXPECT_FALSE(shortcut.defaultShortcut.keyLabel.isEmpty());
        if (shortcut.hint) {
            EXPECT_FALSE(shortcut.hint->title.isEmpty());
            EXPECT_TRUE(hintOrders.insert(shortcut.hint->order).second) << "two hints share an order";
        }
    }
}

TEST_F(CommandCatalogTest, DefaultShortcutsRouteToTheCommandThatDeclaresThem) {
    for (VeltoCommandID id : VeltoCommandCatalog::shortcutCommandIDs()) {
        const GlobalShortcut &shortcut = defaultShortcut(id);
        QString typed = shortcut.keyLabel.toLower();
        LocalKeyEvent event{shortcut.modifiers, shortcut.keyCode, typed, typed};
        EXPECT_EQ(LocalShortcutRouter::action(event), LocalShortcutAction::command(id)) << rawValue(id).toStdString();
    }
}

TEST_F(CommandCatalogTest, ChangingOneShortcutLeavesEveryOtherCommandsShortcut) {
    for (VeltoCommandID changed : VeltoCommandCatalog::shortcutCommandIDs()) {
        setShortcut(changed, std::nullopt);
        for (VeltoCommandID other : VeltoCommandCatalog::shortcutCommandIDs()) {
            if (other != changed) {
                EXPECT_EQ(shortcut(other), defaultShortcut(other)) << rawValue(changed).toStdString();
            }
        }
        setShortcut(changed, defaultShortcut(changed));
    }
}

TEST(CommandCatalog, RawValuesAreExact) {
    EXPECT_EQ(commandIDFromRawValue("page.new"), newPage);
    EXPECT_EQ(commandIDFromRawValue("Page.New"), std::nullopt);
    EXPECT_EQ(commandIDFromRawValue(""), std::nullopt);
}

TEST(CommandCatalog, MenuPlacement) {
    EXPECT_EQ(VeltoCommandCatalog::applicationMenuCommandIDs(), std::vector{openSettings});
    EXPECT_EQ(VeltoCommandCatalog::fileMenuCommandIDs(), std::vector{closePanel});
    std::vector<std::vector<VeltoCommandID>> viewGroups{
        {increaseTextSize, decreaseTextSize, resetTextSize},
        {increasePanelSize, decreasePanelSize, fitPanelToContent},
        {toggleTaskCheckbox, toggleMarkdownFormatting},
    };
    EXPECT_EQ(VeltoCommandCatalog::viewMenuCommandGroups(), viewGroups);
}

TEST_F(CommandCatalogTest, EmptyDomainGivesEveryDefault) {
    std::vector<VeltoCommandID> ids = VeltoCommandCatalog::shortcutCommandIDs();
    ASSERT_EQ(ids.size(), 14u);
    EXPECT_EQ((std::vector(ids.begin(), ids.begin() + 4)), (std::vector{newPage, archivePage, nextPage, previousPage}));
    for (VeltoCommandID id : ids) {
        EXPECT_EQ(shortcut(id), VeltoCommandCatalog::descriptor(id).shortcut->defaultShortcut);
    }
    EXPECT_EQ(shortcut(browsePages), std::nullopt);
}

TEST_F(CommandCatalogTest, RemovedShortcutStaysRemoved) {
    setShortcut(archivePage, std::nullopt);
    EXPECT_TRUE(defaults().boolean("appShortcut.archivePage.configured"));
    EXPECT_FALSE(defaults().object("appShortcut.archivePage.keyCode").isValid());
    EXPECT_FALSE(defaults().object("appShortcut.archivePage.modifiers").isValid());
    EXPECT_FALSE(defaults().object("appShortcut.archivePage.keyLabel").isValid());
    EXPECT_EQ(shortcut(archivePage), std::nullopt);
    EXPECT_EQ(changes, 1);
}

TEST_F(CommandCatalogTest, OverrideWithoutLabelReadsAsNoShortcut) {
    defaults().set("appShortcut.newPage.configured", true);
    defaults().set("appShortcut.newPage.keyCode", 45);
    EXPECT_EQ(shortcut(newPage), std::nullopt);
}

TEST_F(CommandCatalogTest, FitPanelUsesItsOwnPreferenceKey) {
    GlobalShortcut chosen{3, control | command, "F"};
    setShortcut(fitPanelToContent, chosen);
    EXPECT_EQ(defaults().number("appShortcut.resetPanelSize.keyCode"), 3);
    EXPECT_EQ(defaults().number("appShortcut.resetPanelSize.modifiers"), double(control | command));
    EXPECT_EQ(defaults().string("appShortcut.resetPanelSize.keyLabel"), QStringLiteral("F"));
    EXPECT_EQ(shortcut(fitPanelToContent), chosen);
}

TEST_F(CommandCatalogTest, DefaultWrittenBackIsAConfiguredOverride) {
    setShortcut(newPage, GlobalShortcut{45, command, "N"});
    EXPECT_TRUE(defaults().boolean("appShortcut.newPage.configured"));
    EXPECT_EQ(shortcut(newPage), (GlobalShortcut{45, command, "N"}));
}

TEST_F(CommandCatalogTest, CommandWithoutCatalogShortcutIgnoresWrites) {
    setShortcut(browsePages, GlobalShortcut{11, command, "B"});
    EXPECT_EQ(shortcut(browsePages), std::nullopt);
    EXPECT_EQ(changes, 0);
}

TEST_F(CommandCatalogTest, RestoringDefaultsNotifiesPerCommandUnlessBatched) {
    VeltoCommandCatalog::restoreDefaultShortcuts();
    EXPECT_EQ(changes, 14);
    changes = 0;
    store->performBatch([] { VeltoCommandCatalog::restoreDefaultShortcuts(); });
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(VeltoPreferences::globalShortcut(), VeltoPreferences::defaultGlobalShortcut());
    EXPECT_FALSE(defaults().boolean("globalShortcutConfigured")) << "global shortcuts are not touched";
}

} // namespace
} // namespace velto

#include "PreferencesTestSupport.h"

#include "preferences/CommandCatalog.h"

namespace velto {
namespace {

using enum VeltoCommandID;
using CommandCatalogTest = testing::TemporaryPreferences;

constexpr std::uint64_t shift = ModifierFlags::shift;
constexpr std::uint64_t control = ModifierFlags::control;
constexpr std::uint64_t option = ModifierFlags::option;
constexpr std::uint64_t command = ModifierFlags::command;

struct CatalogRow {
    VeltoCommandID id;
    const char *rawValue;
    const char *title;
    VeltoCommandAvailability availability;
    const char *preferenceKey; // nullptr: no shortcut
    const char *settingsTitle;
    GlobalShortcut defaultShortcut;
    int hintOrder;
    const char *hintTitle;
};

const CatalogRow catalog[] = {
    {newPage,
     "page.new",
     "Start New Page",
     VeltoCommandAvailability::editableNonemptyPage,
     "newPage",
     "Start New Page",
     {45, command, "N"},
     0,
     "New page"},
    {archivePage,
     "page.archive",
     "Archive Page",
     VeltoCommandAvailability::editableArchivablePage,
     "archivePage",
     "Archive Page",
     {0, shift | command, "A"},
     1,
     "Archive page"},
    {browsePages, "page.browse", "Browse Pages…", VeltoCommandAvailability::always, nullptr, nullptr, {}, 0, nullptr},
    {nextPage,
     "page.next",
     "Next Page",
     VeltoCommandAvailability::always,
     "nextPage",
     "Next Page",
     {48, control, "⇥"},
     3,
     "Next page"},
    {previousPage,
     "page.previous",
     "Previous Page",
     VeltoCommandAvailability::always,
     "previousPage",
     "Previous Page",
     {48, control | shift, "⇥"},
     2,
     "Previous page"},
    {closePanel,
     "panel.close",
     "Close Window",
     VeltoCommandAvailability::always,
     "closePanel",
     "Close Window",
     {13, command, "W"},
     16,
     "Close window"},
    {openSettings,
     "settings.open",
     "Settings…",
     VeltoCommandAvailability::always,
     "openSettings",
     "Settings",
     {43, command, ","},
     11,
     "Open settings"},
    {increaseTextSize,
     "editor.text-size.increase",
     "Increase Text Size",
     VeltoCommandAvailability::always,
     "increaseTextSize",
     "Increase Text Size",
     {24, command, "+"},
     9,
     "Text size up"},
    {decreaseTextSize,
     "editor.text-size.decrease",
     "Decrease Text Size",
     VeltoCommandAvailability::always,
     "decreaseTextSize",
     "Decrease Text Size",
     {27, command, "\u2212"},
     8,
     "Text size down"},
    {resetTextSize,
     "editor.text-size.reset",
     "Actual Size",
     VeltoCommandAvailability::always,
     "resetTextSize",
     "Actual Size",
     {29, command, "0"},
     10,
     "Reset text size"},
    {increasePanelSize,
     "panel.size.increase",
     "Increase Panel Size",
     VeltoCommandAvailability::always,
     "increasePanelSize",
     "Increase Panel Size",
     {24, option | command, "+"},
     13,
     "Panel size up"},
    {decreasePanelSize,
     "panel.size.decrease",
     "Decrease Panel Size",
     VeltoCommandAvailability::always,
     "decreasePanelSize",
     "Decrease Panel Size",
     {27, option | command, "\u2212"},
     12,
     "Panel size down"},
    {fitPanelToContent,
     "panel.size.reset",
     "Fit Panel to Content",
     VeltoCommandAvailability::always,
     "resetPanelSize",
     "Fit Panel to Content",
     {29, option | command, "0"},
     17,
     "Fit panel"},
    {toggleTaskCheckbox,
     "editor.task-checkbox.toggle",
     "Toggle Task Checkbox",
     VeltoCommandAvailability::editableTaskCheckbox,
     "toggleTaskCheckbox",
     "Toggle Task Checkbox",
     {37, command, "L"},
     14,
     "Toggle task"},
    {toggleMarkdownFormatting,
     "editor.markdown-formatting.toggle",
     "Format Markdown",
     VeltoCommandAvailability::always,
     "toggleMarkdownFormatting",
     "Format Markdown",
     {46, option | command, "M"},
     15,
     "Format Markdown"},
};

TEST(CommandCatalog, EveryRowAsSpecified) {
    ASSERT_EQ(VeltoCommandCatalog::descriptors().size(), std::size(catalog));
    for (std::size_t index = 0; index < std::size(catalog); ++index) {
        const CatalogRow &row = catalog[index];
        const VeltoCommandDescriptor &descriptor = VeltoCommandCatalog::descriptors()[index];
        SCOPED_TRACE(row.rawValue);
        EXPECT_EQ(descriptor.id, row.id);
        EXPECT_EQ(allCommandIDs()[index], row.id);
        EXPECT_EQ(rawValue(row.id), QString::fromUtf8(row.rawValue));
        EXPECT_EQ(commandIDFromRawValue(QString::fromUtf8(row.rawValue)), row.id);
        EXPECT_EQ(descriptor.title, QString::fromUtf8(row.title));
        EXPECT_EQ(descriptor.availability, row.availability);
        EXPECT_EQ(&VeltoCommandCatalog::descriptor(row.id), &VeltoCommandCatalog::descriptorsByID().at(row.id));
        if (row.preferenceKey == nullptr) {
            EXPECT_EQ(descriptor.shortcut, std::nullopt);
            continue;
        }
        VeltoCommandShortcut expected{QString::fromUtf8(row.preferenceKey), QString::fromUtf8(row.settingsTitle),
                                      row.defaultShortcut, VeltoCommandHint{row.hintOrder, row.hintTitle}};
        EXPECT_EQ(descriptor.shortcut, expected);
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

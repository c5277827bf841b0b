#include "panel/menu/VeltoPanelMenuController.h"

#include "model/PageArchiveState.h"
#include "panel/feedback/SaveProblem.h"
#include "panel/menu/PageExcerpt.h"
#include "panel/menu/PagePreview.h"
#include "panel/menu/PanelAlerts.h"
#include "panel/menu/PanelMenuView.h"
#include "panel/menu/RelativeDates.h"
#include "panel/pages/ActivePages.h"
#include "platform/Text.h"
#include "preferences/CommandCatalog.h"
#include "preferences/CommandRegistry.h"
#include "store/PageLists.h"
#include "store/Store.h"
#include "ui/ArchivedPagesDeletionQuestion.h"
#include "ui/CountedText.h"
#include "ui/KeyNames.h"
#include "ui/WindowAppearance.h"

#include <QtCore/QPointer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <utility>

namespace velto {
namespace {

const QString middleDot = QStringLiteral("\u00b7");

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

Date pageActivityDate(const VeltoPage &page) {
    if (isArchivedPage(page) && page.archivedAt) {
        return *page.archivedAt;
    }
    return page.updatedAt.value_or(page.createdAt);
}

// ---- word counting ----

constexpr std::size_t wordCountBlock = 64;

bool isASCIISeparator(unsigned char byte) {
    return byte == ' ' || static_cast<unsigned char>(byte - 0x09) <= 0x0D - 0x09;
}

// White space beyond ASCII (U+0085, U+00A0, U+1680, U+2000..U+205F, U+3000) starts with one of these bytes.
bool mayBeNonASCIISeparator(unsigned char leadByte) {
    return leadByte == 0xC2 || (leadByte >= 0xE1 && leadByte <= 0xE3);
}

bool isASCIIBlock(const unsigned char *block) {
    std::uint64_t highBits = 0;
    for (std::size_t index = 0; index < wordCountBlock; index += sizeof highBits) {
        std::uint64_t word;
        std::memcpy(&word, block + index, sizeof word);
        highBits |= word;
    }
    return (highBits & 0x8080808080808080ULL) == 0;
}

// The words that start in an ASCII block after its first byte: each non-separator that follows a separator.
std::size_t wordStartsWithinBlock(const unsigned char *block) {
    std::size_t starts = 0;
    for (std::size_t index = 1; index < wordCountBlock; ++index) {
        starts += static_cast<std::size_t>(isASCIISeparator(block[index - 1]) & !isASCIISeparator(block[index]));
    }
    return starts;
}

std::optional<Uuid> pageIDOfItem(const QString &text) {
    return Uuid::parse(text.toStdString());
}

QString fileNameOf(const VeltoUnreadablePageFile &file) {
    return fromUtf8(std::filesystem::path(file.relativePath).filename().string());
}

// "Velto can’t read its file “Notes/2026-01-05-1a2b3c4d.md”: Permission denied. Velto leaves it as it is."
QString unreadableExplanation(const VeltoUnreadablePageFile &file) {
    const QString reason = fromUtf8(file.reason).trimmed();
    if (reason.endsWith(QLatin1Char('.'))) {
        return reason + QStringLiteral(" Velto leaves the file as it is."); // a sentence that names the file
    }
    QString explanation =
        QStringLiteral("Velto can’t read its file “") + fromUtf8(file.relativePath) + QStringLiteral("”");
    if (!reason.isEmpty()) {
        explanation += QStringLiteral(": ") + reason;
    }
    return explanation + QStringLiteral(". Velto leaves it as it is.");
}

} // namespace

VeltoPanelMenuController::VeltoPanelMenuController(VeltoStore &store, VeltoCommandRegistry &commands,
                                                   std::function<std::string()> currentText, Actions actions,
                                                   Options options)
    : store_(store)
    , commands_(commands)
    , currentText_(std::move(currentText))
    , actions_(std::move(actions))
    , options_(std::move(options))
    , clock_(options_.clock ? options_.clock : &systemClock()) {
    if (!options_.commandShortcuts) {
        options_.commandShortcuts = [] { return LocalShortcutRouter::currentCommandShortcuts(); };
    }
}

// ---- texts ----

std::size_t VeltoPanelMenuController::wordCount(std::string_view text) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
    const std::size_t size = text.size();
    std::size_t count = 0;
    bool inWord = false;
    std::size_t offset = 0;
    while (offset < size) {
        // Plain ASCII goes a block at a time, without a branch per byte: the count of a 5 MB page is part of
        // every menu the tray shows.
        if (size - offset >= wordCountBlock && isASCIIBlock(bytes + offset)) {
            count += static_cast<std::size_t>(!inWord && !isASCIISeparator(bytes[offset]));
            count += wordStartsWithinBlock(bytes + offset);
            inWord = !isASCIISeparator(bytes[offset + wordCountBlock - 1]);
            offset += wordCountBlock;
            continue;
        }
        // One character at a time up to the end of this block.
        const std::size_t blockEnd = std::min(size, offset + wordCountBlock);
        while (offset < blockEnd) {
            const unsigned char byte = bytes[offset];
            bool separator = false;
            if (byte < 0x80) {
                separator = isASCIISeparator(byte);
                offset += 1;
            } else {
                std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
                length = std::min(length, size - offset);
                separator = mayBeNonASCIISeparator(byte) &&
                            text::isWhitespaceOrNewline(text::firstCodePoint(text.substr(offset, length)));
                offset += length;
            }
            if (!separator && !inWord) {
                count += 1;
            }
            inWord = !separator;
        }
    }
    return count;
}

QString VeltoPanelMenuController::metadataDescription(std::string_view text, std::optional<Date> updatedAt, Date now,
                                                      bool notSaved) {
    const std::size_t words = wordCount(text);
    QString line = QString::number(words) + (words == 1 ? QStringLiteral(" word ") : QStringLiteral(" words ")) +
                   middleDot + QLatin1Char(' ');
    if (notSaved) {
        // The page's date is that of its last edit, which has not reached the disk: "Saved" would say it has, and
        // contradict the warning above when the save failed.
        return line + QStringLiteral("Not saved");
    }
    if (updatedAt) {
        return line + QStringLiteral("Saved ") + RelativeDates::relativeDescription(*updatedAt, now);
    }
    return line + QStringLiteral("New page");
}

QString VeltoPanelMenuController::pageDescription(const VeltoPage &page, Date now,
                                                  const std::optional<VeltoUnreadablePageFile> &unreadable) {
    const QString recency = QStringLiteral("  ") + middleDot + QStringLiteral("  ") +
                            RelativeDates::compactRecency(pageActivityDate(page), now);
    if (unreadable) {
        // Its text is not here to make a title of: the file is what is known of it.
        return QStringLiteral("Can’t be read: ") + fileNameOf(*unreadable) + recency;
    }
    QString prefix;
    if (isConflictCopy(page)) {
        prefix = QStringLiteral("Conflict copy: ");
    } else if (page.fileSlug == "recovered-page") {
        prefix = QStringLiteral("Recovered page: ");
    }
    // The recency follows the title in the same text, not in the shortcut column: it belongs to the page.
    return prefix + fromUtf8(PagePreview::title(page.visibleTextView(), titleLength)) + recency;
}

QString VeltoPanelMenuController::pageToolTip(const VeltoPage &page,
                                              const std::optional<VeltoUnreadablePageFile> &unreadable,
                                              const std::optional<VeltoUnreadablePageFile> &recoveredFrom) {
    if (unreadable) {
        return unreadableExplanation(*unreadable);
    }
    // An excerpt, not the whole text: a menu of 150 pages of up to 5 MB each must stay small and quick.
    QString excerpt = fromUtf8(PageExcerpt::excerpt(page.visibleTextView()));
    if (isConflictCopy(page)) {
        return QStringLiteral("Saved because this page changed elsewhere.\n\n") + excerpt;
    }
    if (page.fileSlug == "recovered-page" && recoveredFrom) {
        // Also after a relaunch, when the notice of the recovery is gone: the file still can't be read.
        return QStringLiteral("Recovered from “%1”, a page file that can’t be read or changed.\n\n")
                   .arg(fileNameOf(*recoveredFrom)) +
               excerpt;
    }
    if (page.fileSlug == "recovered-page") {
        return QStringLiteral(
                   "Recovered after the original page file was removed or emptied, or could no longer be read or "
                   "changed.\n\n") +
               excerpt;
    }
    return excerpt;
}

// ---- building ----

QMenu *VeltoPanelMenuController::makeStatusMenu() {
    return PanelMenuView::make(makeStatusMenuModel());
}

PanelMenu VeltoPanelMenuController::makeStatusMenuModel() {
    const std::string text = currentText_ ? currentText_() : std::string();
    store_.setText(text, now());

    PanelMenu menu;
    const std::optional<std::string> &saveError = store_.lastSaveErrorDescription();
    if (saveError) {
        PanelMenuItem item;
        item.text = QStringLiteral("⚠ ") + SaveProblem::title(*saveError);
        item.enabled = false;
        item.toolTip = fromUtf8(*saveError);
        menu.items.push_back(item);
        // On its own line: beside the cause it would make the menu as wide as the folder's path.
        if (const QString where = SaveProblem::keptTextLine(keptText_); !where.isEmpty()) {
            PanelMenuItem kept;
            kept.text = where;
            kept.enabled = false;
            menu.items.push_back(kept);
        }
    }
    if (const std::optional<VeltoSaveConflictPresentation> &conflict = store_.lastSaveConflictPresentation()) {
        PanelMenuItem item;
        item.text = QStringLiteral("⚠ ") + fromUtf8(conflict->title);
        item.toolTip = fromUtf8(conflict->message);
        item.trigger = [self = QPointer(this)] {
            if (self) {
                self->reviewConflictCopies();
            }
        };
        menu.items.push_back(item);
    }
    // After the kept copy: a page file that can no longer be read is named there too, and the user's own text,
    // kept as a new page, is what to look at first.
    if (!store_.unreadableFiles().empty()) {
        menu.items.push_back(unreadableFilesItem());
    }
    PanelMenuItem information;
    const VeltoPage &current = store_.document().currentPage;
    // An edit whose save is still to come is not saved: another program may hold the library's lock for seconds.
    const bool notSaved = saveError.has_value() || (current.updatedAt && store_.hasUnsavedChanges(current.id));
    information.text = metadataDescription(current.visibleTextView(), current.updatedAt, now(), notSaved);
    information.enabled = false;
    menu.items.push_back(information);
    menu.items.push_back(PanelMenuItem::separator());
    menu.items.push_back(commandItem(VeltoCommandID::newPage));

    PanelMenuItem browse;
    browse.text = QStringLiteral("Browse Pages");
    browse.submenu = std::make_shared<PanelMenu>(makeBrowsePagesMenu());
    menu.items.push_back(browse);
    menu.items.push_back(PanelMenuItem::separator());
    menu.items.push_back(commandItem(VeltoCommandID::openSettings));
    return menu;
}

// The files the last load could not read, and those a save found refusing changes (a page with typed text
// recovered from it), for as long as they stay so: a file readable again leaves the list at
// the next reload. Choosing one opens the Pages folder, where the user can deal with it.
PanelMenuItem VeltoPanelMenuController::unreadableFilesItem() const {
    auto files = std::make_shared<PanelMenu>();
    files->title = QStringLiteral("Some Files Can’t Be Read or Changed");
    for (const VeltoUnreadablePageFile &file : store_.unreadableFiles()) {
        PanelMenuItem item;
        item.text = fromUtf8(file.relativePath);
        item.toolTip = unreadableExplanation(file);
        item.trigger = actions_.openPagesFolder;
        files->items.push_back(item);
    }
    PanelMenuItem item;
    item.text = QStringLiteral("⚠ Some Files Can’t Be Read or Changed");
    item.toolTip =
        QStringLiteral("Velto can’t read or change these files in your Pages folder and leaves them as they are.");
    item.submenu = std::move(files);
    return item;
}

PanelMenuItem VeltoPanelMenuController::commandItem(VeltoCommandID id) const {
    PanelMenuItem item;
    item.text = VeltoCommandCatalog::descriptor(id).title;
    for (const auto &[command, shortcut] : options_.commandShortcuts()) {
        if (command == id && shortcut) {
            // Shown after a tab and not registered: the tray menu must not take these keys for itself.
            item.text += QLatin1Char('\t') + KeyNames::text(shortcut);
        }
    }
    item.identifier = rawValue(id);
    item.enabled = commands_.isAvailable(id);
    item.trigger = [&commands = commands_, identifier = item.identifier] {
        QObject named;
        named.setObjectName(identifier);
        commands.performMenuCommand(&named);
    };
    return item;
}

PanelMenu VeltoPanelMenuController::makeBrowsePagesMenu() {
    const Date currentDate = now();
    // Archiving what is past the period reads those pages from disk first, so it cannot finish before the
    // menu shows: the menu counts the pages it takes as archived already.
    store_.autoArchiveEligiblePages(currentDate);

    PanelMenu menu;
    menu.title = QStringLiteral("Browse Pages");
    const VeltoAutoArchivePeriod period = store_.autoArchivePeriod();
    const Uuid currentID = store_.document().currentPage.id;
    const std::vector<const VeltoPage *> active = activePagesByActivity(store_.document());
    std::size_t others = active.size() - 1;
    std::size_t recentOtherCount = 0;
    // Archiving others takes only pages whose text is here: one whose file cannot be read is listed, not
    // counted, so that the count is what the archiving does.
    std::size_t archivableOthers = 0;
    QPointer<VeltoPanelMenuController> self(this);
    for (const VeltoPage *page : active) {
        const bool isCurrent = page->id == currentID;
        if (!isCurrent && period.period && currentDate - activityDate(*page) >= *period.period) {
            // Past the period: being archived, unless its text is not here to archive (a page that could not
            // be read stays active, and only Browse Pages… lists it).
            others -= isActiveLoadedPage(*page) ? 1 : 0;
            continue;
        }
        recentOtherCount += isCurrent ? 0 : 1;
        archivableOthers += !isCurrent && isActiveLoadedPage(*page) ? 1 : 0;
        PanelMenuItem item = pageItem(*page, [self](const QString &id) {
            if (self) {
                self->selectPage(id);
            }
        });
        item.checkable = true;
        item.checked = isCurrent;
        menu.items.push_back(item);
    }

    menu.items.push_back(PanelMenuItem::separator());
    auto archived = std::make_shared<const std::vector<VeltoPage>>(archivedPagesSortedByArchiveDate(store_.document()));
    PanelMenuItem archivedItem;
    archivedItem.text = QStringLiteral("Archived Pages");
    archivedItem.enabled = !archived->empty();
    archivedItem.submenu = std::make_shared<PanelMenu>(makeArchivedPagesMenu(archived));
    menu.items.push_back(archivedItem);

    PanelMenuItem archiveOthers;
    archiveOthers.text = archivableOthers == 0   ? QStringLiteral("Archive Other Pages…")
                         : archivableOthers == 1 ? QStringLiteral("Archive 1 Other Page…")
                                                 : QStringLiteral("Archive %1 Other Pages…").arg(archivableOthers);
    archiveOthers.enabled = archivableOthers > 0;
    archiveOthers.trigger = [self] {
        if (self) {
            self->confirmArchiveOtherPages();
        }
    };
    menu.items.push_back(archiveOthers);

    menu.items.push_back(PanelMenuItem::separator());
    PanelMenuItem openFolder;
    // Shows the current page's file in the Pages folder; a page with nothing to read has no file to show, so
    // the folder itself opens.
    openFolder.text = QStringLiteral("Open Pages Folder");
    openFolder.trigger = [self] {
        if (!self) {
            return;
        }
        bool hasFile = !self->store_.document().currentPage.visibleTextView().empty();
        const std::function<void()> &open =
            hasFile ? self->actions_.showCurrentPageInFinder : self->actions_.openPagesFolder;
        if (open) {
            open();
        }
    };
    menu.items.push_back(openFolder);

    if (recentOtherCount < others) {
        menu.items.push_back(PanelMenuItem::separator());
        PanelMenuItem more;
        more.text = QStringLiteral("Browse Pages…");
        more.trigger = [self] {
            if (self && self->actions_.showBrowsePages) {
                self->actions_.showBrowsePages();
            }
        };
        menu.items.push_back(more);
    }
    return menu;
}

PanelMenu VeltoPanelMenuController::makeArchivedPagesMenu(std::shared_ptr<const std::vector<VeltoPage>> pages) {
    PanelMenu menu;
    menu.title = QStringLiteral("Archived Pages");
    const std::size_t count = pages->size();
    addArchivedPageBatch(menu, pages, 0, std::min(count, archivedBatchSize));
    if (count > archivedBatchSize) {
        addOlderArchivedPages(menu, pages, archivedBatchSize);
    }
    menu.items.push_back(PanelMenuItem::separator());
    PanelMenuItem deleteItem;
    deleteItem.text =
        count == 1 ? QStringLiteral("Delete 1 Archived Page…") : QStringLiteral("Delete %1 Archived Pages…").arg(count);
    deleteItem.enabled = count > 0;
    deleteItem.trigger = [self = QPointer(this)] {
        if (self) {
            self->confirmDeleteArchivedPages();
        }
    };
    menu.items.push_back(deleteItem);
    return menu;
}

void VeltoPanelMenuController::addOlderArchivedPages(PanelMenu &menu,
                                                     std::shared_ptr<const std::vector<VeltoPage>> pages,
                                                     std::size_t startIndex) {
    PanelMenuItem older;
    older.text = QStringLiteral("Older Archived Pages");
    auto submenu = std::make_shared<PanelMenu>();
    submenu->title = older.text;
    PanelMenuItem loading;
    loading.text = QStringLiteral("Loading…");
    loading.enabled = false;
    submenu->items.push_back(loading);
    submenu->fillOnOpen = [self = QPointer(this), pages, startIndex] {
        PanelMenu filled;
        filled.title = QStringLiteral("Older Archived Pages");
        if (!self) {
            return filled;
        }
        const std::size_t end = std::min(startIndex + archivedBatchSize, pages->size());
        self->addArchivedPageBatch(filled, pages, startIndex, end);
        if (end < pages->size()) {
            self->addOlderArchivedPages(filled, pages, end);
        }
        return filled;
    };
    older.submenu = submenu;
    menu.items.push_back(older);
}

void VeltoPanelMenuController::addArchivedPageBatch(PanelMenu &menu,
                                                    const std::shared_ptr<const std::vector<VeltoPage>> &pages,
                                                    std::size_t start, std::size_t end) {
    QPointer<VeltoPanelMenuController> self(this);
    auto restore = [self](const QString &id) {
        if (self) {
            self->restoreArchivedPage(id);
        }
    };
    std::vector<Uuid> withoutPreview;
    for (std::size_t index = start; index < end; ++index) {
        const VeltoPage &page = (*pages)[index];
        menu.items.push_back(pageItem(page, restore));
        const VeltoArchivedPageSummary *summary = page.content.asArchivedSummary();
        if (summary != nullptr && summary->preview.empty()) {
            withoutPreview.push_back(page.id);
        }
    }
    if (withoutPreview.empty()) {
        return;
    }
    // One load for the batch; its items take their titles when it ends, unless the menu is gone by then.
    menu.refreshItems = [self, withoutPreview, restore]() -> QCoro::Task<std::map<QString, PanelMenuItem>> {
        std::map<QString, PanelMenuItem> refreshed;
        if (!self) {
            co_return refreshed;
        }
        std::map<Uuid, VeltoPage> loaded = co_await self->store_.loadArchivedPreviews(withoutPreview);
        if (!self) {
            co_return refreshed;
        }
        for (const auto &[id, page] : loaded) {
            PanelMenuItem item = self->pageItem(page, restore);
            refreshed.emplace(item.data, std::move(item));
        }
        co_return refreshed;
    };
}

PanelMenuItem VeltoPanelMenuController::pageItem(const VeltoPage &page,
                                                 std::function<void(const QString &)> choose) const {
    PanelMenuItem item;
    const std::optional<VeltoUnreadablePageFile> unreadable = store_.unreadableFileOf(page);
    item.text = pageDescription(page, now(), unreadable);
    item.smallTextLength = static_cast<int>(RelativeDates::compactRecency(pageActivityDate(page), now()).size());
    item.data = QString::fromStdString(page.id.uppercaseText());
    item.toolTip = pageToolTip(page, unreadable, store_.unreadableFileRecoveredAs(page));
    item.trigger = [choose = std::move(choose), id = item.data] { choose(id); };
    return item;
}

// ---- actions ----

void VeltoPanelMenuController::selectPage(const QString &pageIDText) {
    if (std::optional<Uuid> id = pageIDOfItem(pageIDText); id && !refusedAsUnreadable(*id) && actions_.selectPage) {
        actions_.selectPage(*id);
    }
}

void VeltoPanelMenuController::restoreArchivedPage(const QString &pageIDText) {
    if (std::optional<Uuid> id = pageIDOfItem(pageIDText);
        id && !refusedAsUnreadable(*id) && actions_.restoreArchivedPage) {
        actions_.restoreArchivedPage(*id);
    }
}

bool VeltoPanelMenuController::refusedAsUnreadable(const Uuid &pageID) const {
    const VeltoPage *page = findPage(store_.document(), pageID);
    std::optional<VeltoUnreadablePageFile> unreadable = page ? store_.unreadableFileOf(*page) : std::nullopt;
    if (!unreadable) {
        return false;
    }
    const QString message = QStringLiteral("This page can’t be opened");
    const QString informative = unreadableExplanation(*unreadable);
    if (options_.inform) {
        options_.inform(message, informative);
    } else {
        PanelAlerts::notify(nullptr, message, informative, QStringLiteral("OK"));
    }
    return true;
}

void VeltoPanelMenuController::reviewConflictCopies() {
    if (const auto &conflict = store_.lastSaveConflictPresentation(); conflict && actions_.reviewConflictCopies) {
        actions_.reviewConflictCopies(conflict->pageIDs);
    }
}

void VeltoPanelMenuController::confirmArchiveOtherPages() {
    using CountedText::agreeing;
    const auto pages = static_cast<std::int64_t>(
        std::count_if(store_.document().pages.begin(), store_.document().pages.end(), isActiveLoadedPage));
    PanelMenuConfirmation question{
        QStringLiteral("Archive %1?").arg(CountedText::counted(pages, "page", "pages")),
        agreeing(pages, "This removes it from Velto while keeping its Markdown file in the Pages folder.",
                 "This removes them from Velto while keeping their Markdown files in the Pages folder."),
        agreeing(pages, "Archive page", "Archive pages")};
    if (confirm(question) && actions_.archiveOtherPages) {
        actions_.archiveOtherPages();
    }
}

void VeltoPanelMenuController::confirmDeleteArchivedPages() {
    std::set<Uuid> pageIDs = store_.archiveSnapshot().pageIDs;
    if (pageIDs.empty()) {
        return;
    }
    ArchivedPagesDeletionQuestion deletion = ArchivedPagesDeletionQuestion::forCount(pageIDs.size());
    PanelMenuConfirmation question{deletion.title, deletion.message, deletion.button};
    if (confirm(question) && actions_.deleteConfirmedArchivedPages) {
        actions_.deleteConfirmedArchivedPages(std::move(pageIDs));
    }
}

bool VeltoPanelMenuController::confirm(const PanelMenuConfirmation &confirmation) const {
    return options_.confirm ? options_.confirm(confirmation)
                            : PanelAlerts::confirm(nullptr, confirmation.message, confirmation.informativeText,
                                                   confirmation.actionButton);
}

} // namespace velto

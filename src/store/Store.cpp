#include "store/Store.h"

#include "library/FolderConnectionAssessment.h"
#include "library/PageFileNaming.h"
#include "model/LibraryPageRecord.h"
#include "model/PageSlug.h"
#include "store/OwnFileChanges.h"

#include <QtCore/QPointer>

namespace velto {

QCoro::Task<std::unique_ptr<VeltoStore>>
VeltoStore::loadForApplication(std::optional<std::filesystem::path> fileURL, std::int64_t maximumPageCount,
                               std::int64_t maximumPageBytes, std::optional<VeltoAutoArchivePeriod> autoArchivePeriod,
                               SaveOperation writeOperation) {
    std::filesystem::path folderURL = fileURL.has_value() ? *fileURL : VeltoPageLibrary::defaultFolderURL();
    QCoro::Task<VeltoLibraryLoadResult> loading = productionLoadOperation(folderURL); // not inside co_await: GCC 12
    VeltoLibraryLoadResult loadResult = co_await loading;
    Environment environment;
    environment.saveOperation = std::move(writeOperation);
    environment.autoArchivePeriod = autoArchivePeriod;
    co_return std::make_unique<VeltoStore>(folderURL, maximumPageCount, maximumPageBytes, std::move(environment),
                                           loadResult);
}

VeltoStore::VeltoStore(std::filesystem::path folderURL, std::int64_t maximumPageCount, std::int64_t maximumPageBytes,
                       Environment environment, const VeltoLibraryLoadResult &loadResult)
    : session_(*this, std::move(folderURL))
    , fileManager_(environment.fileManager != nullptr ? environment.fileManager : &ownChangeRecordingFileSystem())
    , clock_(environment.clock != nullptr ? environment.clock : &systemClock())
    , scheduler_(environment.scheduler != nullptr ? environment.scheduler : &qtScheduler())
    , maximumPageCount_(maximumPageCount)
    , maximumPageBytes_(maximumPageBytes)
    , loadOperation_(environment.loadOperation ? std::move(environment.loadOperation) : productionLoadOperation)
    , incrementalLoadOperation_(environment.incrementalLoadOperation ? std::move(environment.incrementalLoadOperation)
                                                                     : productionIncrementalLoadOperation)
    , archivedPreviewLoadOperation_(environment.archivedPreviewLoadOperation
                                        ? std::move(environment.archivedPreviewLoadOperation)
                                        : productionArchivedPreviewLoadOperation)
    , latestPageLoadOperation_(environment.latestPageLoadOperation ? std::move(environment.latestPageLoadOperation)
                                                                   : productionLatestPageLoadOperation)
    , saveScheduler_(
          session_.folderURL(),
          environment.saveOperation ? std::move(environment.saveOperation) : productionSaveOperation,
          [this](std::uint64_t generation) { return saveRequest(generation); },
          [this](const VeltoSaveRequest &request, const std::optional<VeltoSaveResult> &result,
                 const std::optional<std::string> &errorDescription) {
              didFinishSave(request, result, errorDescription);
          }) {
    InitialState initial = initialState(loadResult, now());
    document_ = std::move(initial.document);
    loadState_ = std::move(initial.loadState);
    pageBaselines_ = pageBaselines(document_);
    if (const auto *loaded = loadResult.asLoaded()) {
        unreadableFiles_ = loaded->unreadableFiles;
    }
    mutations_.reset(initial.structureRepair, false);
    if (environment.autoArchivePeriod.has_value()) {
        autoArchivePeriod_ = *environment.autoArchivePeriod;
        // Pages left untouched past the period are archived as the library opens, not only at the first page
        // cycle or menu. The task runs on by itself (it rereads the pages' files first) and holds the store weakly.
        QCoro::Task<int> archiving = autoArchiveEligiblePages(now());
    }
    if (initial.structureRepair.has_value() && loadState_.isLoaded()) {
        schedule(); // writes the load's repair back
    }
    persistActiveLimitArchivalIfNeeded();
    startMonitoringFolder();
    const VeltoStoreRecoveryIssue *issue = loadState_.recoveryIssue();
    if (issue != nullptr && issue->kind == VeltoStoreRecoveryIssue::Kind::temporarilyUnavailable) {
        requestExternalRefresh(std::nullopt); // retries until the page files have arrived
    }
}

VeltoStore::~VeltoStore() {
    // A refresh waiting out its retry delay ends instead of keeping its frame until the timer fires.
    externalRefreshCancellation_.cancel();
}

VeltoStore::InitialState VeltoStore::initialState(const VeltoLibraryLoadResult &loadResult, Date now) {
    if (const auto *loaded = loadResult.asLoaded()) {
        return {loaded->document, VeltoStoreLoadState::loaded(), loaded->structureRepair};
    }
    if (const VeltoStoreRecoveryIssue *issue = loadResult.failureIssue()) {
        return {freshDocument(now), VeltoStoreLoadState::recoveryRequired(*issue), std::nullopt};
    }
    return {freshDocument(now), VeltoStoreLoadState::missing(), std::nullopt};
}

VeltoDocument VeltoStore::freshDocument(Date now) {
    VeltoDocument document;
    document.currentPage = newEmptyPage(now);
    return document;
}

VeltoPage VeltoStore::newEmptyPage(Date now) {
    VeltoPage page;
    page.id = Uuid::random();
    page.createdAt = now;
    page.fileSlug = VeltoPageSlug::make();
    page.content = VeltoPageContent::loaded(VeltoPageFileContent{std::nullopt, "", "\n"});
    return page;
}

std::map<Uuid, VeltoPageBaseline> VeltoStore::pageBaselines(const VeltoDocument &document) {
    std::map<Uuid, VeltoPageBaseline> baselines;
    baselines.emplace(document.currentPage.id, VeltoPageBaseline::fromPage(document.currentPage));
    for (const VeltoPage &page : document.pages) {
        baselines.emplace(page.id, VeltoPageBaseline::fromPage(page));
    }
    return baselines;
}

void VeltoStore::startMonitoringFolder() {
    folderMonitor_.reset(); // stops the old monitor before the new one watches
    // The manifest's checkpoint is not read: Linux keeps no event history to resume from, so every start
    // begins with a full rescan whatever the checkpoint says.
    folderMonitor_ = VeltoFolderMonitor::make(session_.folderURL(), std::nullopt);
    if (folderMonitor_ == nullptr) {
        return; // no folder yet; the first successful save starts monitoring
    }
    QPointer<VeltoStore> store(this);
    folderMonitor_->start([store](const VeltoFolderChangeNotification &notification) {
        if (store == nullptr) {
            return;
        }
        if (const std::set<std::string> *paths = notification.changedPaths()) {
            store->requestExternalRefresh(*paths);
        } else {
            store->requestExternalRefresh(std::nullopt);
        }
    });
}

std::optional<std::filesystem::path> VeltoStore::currentPageFileURL() const {
    const VeltoPage &page = document_.currentPage;
    const VeltoPageFileContent *content = page.content.asLoaded();
    if (content == nullptr || content->fileContents().empty()) {
        return std::nullopt;
    }
    return session_.folderURL() / VeltoPageLibrary::pageFileName(VeltoPageLibrary::namingRecord(page));
}

} // namespace velto

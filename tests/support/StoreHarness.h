#pragma once

#include "library/save/WriteTransaction.h"
#include "model/Document.h"
#include "store/Store.h"
#include "support/Documents.h"
#include "support/TemporaryFolder.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// What the tests of the store and of the layers above it build a store from: a library written to a folder,
// and the store itself on a temporary folder.

namespace velto::testing {

/// Writes a whole library as one save of this process: every page and the order.
inline void writeLibrary(const std::filesystem::path &folder, const VeltoDocument &document,
                         Date recordedAt = dateFromSecondsSince1970(1'767'225'600)) {
    VeltoPageLibrary::write(wholeDocumentSaveRequest(document, recordedAt), folder, defaultFileSystem());
}

/// A save that succeeds at once and reports nothing: no page is renamed, merged or kept apart.
inline VeltoStore::SaveOperation quietSuccessfulSaves() {
    return [](const VeltoSaveRequest &, std::filesystem::path) -> QCoro::Task<VeltoSaveResult> {
        co_return VeltoSaveResult{};
    };
}

/// A store on a Pages folder inside a temporary folder of its own. The test chooses the environment (empty
/// operations are the production ones) and what the load of the library found; the folder exists only when
/// the test writes a library into it, and without it no folder monitor runs.
struct StoreHarness {
    /// The limits on active pages that the application opens its library with.
    static constexpr std::int64_t maximumPageCount = 100;
    static constexpr std::int64_t maximumPageBytes = 5'242'880;

    TemporaryFolder temporary;
    std::filesystem::path folder = temporary / "Pages";
    std::unique_ptr<VeltoStore> store;

    VeltoStore &openStore(VeltoStore::Environment environment, const VeltoLibraryLoadResult &loadResult,
                          std::int64_t pageCountLimit = maximumPageCount,
                          std::int64_t pageBytesLimit = maximumPageBytes) {
        store =
            std::make_unique<VeltoStore>(folder, pageCountLimit, pageBytesLimit, std::move(environment), loadResult);
        return *store;
    }
};

} // namespace velto::testing

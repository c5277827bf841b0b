#pragma once

#include "editor_view/EditorCoordinatorTestSupport.h"

#include "store/Store.h"
#include "support/StoreHarness.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace velto::testing {

/// The page identifier that ends in `number`, so that tests can name pages by number.
inline Uuid numbered(int number) {
    char text[37];
    std::snprintf(text, sizeof text, "00000000-0000-4000-8000-%012d", number);
    return *Uuid::parse(text);
}

/// A loaded page made from the text of its file, created an hour before its update.
inline VeltoPage page(int number, const std::string &fileText, Date updatedAt) {
    VeltoPage made;
    made.id = numbered(number);
    made.createdAt = updatedAt - std::chrono::hours(1);
    made.updatedAt = updatedAt;
    made.content = VeltoPageContent::loaded(VeltoPageFileContent::parse(fileText));
    return made;
}

/// The file text of a saved conflict copy of page `original`.
inline std::string copyOf(int original, const std::string &body) {
    return "---\nvelto:\n  conflict-of: " + numbered(original).uppercaseText() + "\n---\n" + body;
}

/// A store over an in-memory library whose saves succeed at once: what Browse Pages lists.
struct BrowsePagesLibrary : StoreHarness {
    /// What a reload finds in the folder, as another program left it; empty: the library as the store holds it.
    std::optional<VeltoDocument> inFolder;

    explicit BrowsePagesLibrary(VeltoPage current, std::vector<VeltoPage> others = {}) {
        ensureApplication();
        VeltoStore::Environment environment;
        environment.saveOperation = quietSuccessfulSaves();
        environment.loadOperation = [this](std::filesystem::path) -> QCoro::Task<VeltoLibraryLoadResult> {
            co_return VeltoLibraryLoadResult::loaded(inFolder.value_or(store->document()));
        };
        openStore(std::move(environment),
                  VeltoLibraryLoadResult::loaded(documentOf(std::move(current), std::move(others))));
    }
};

} // namespace velto::testing

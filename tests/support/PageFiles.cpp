#include "support/PageFiles.h"

#include "platform/FileSystem.h"

namespace velto::testing {

std::string pageFileText(const std::filesystem::path &folder, const Uuid &pageID) {
    for (const auto &entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.path().extension() != ".md") {
            continue;
        }
        std::string text = defaultFileSystem().readFile(entry.path());
        if (text.find(pageID.lowercaseText()) != std::string::npos) {
            return text;
        }
    }
    return {};
}

} // namespace velto::testing

#include "library/removal/FileRemoval.h"

#include "library/removal/LinesThePageLacks.h"

#include <cerrno>
#include <string>

namespace VeltoPageLibrary {

velto::ProvenRemovalOutcome removeIfProven(const std::filesystem::path &url, const velto::RemovalProof &proof,
                                           velto::FileSystem &fileManager, const RemoveOperation &removeItem,
                                           std::optional<std::filesystem::path> *keptBeside, std::size_t maximumBytes) {
    if (!removeItem) {
        if (keptBeside != nullptr) {
            return fileManager.removeIfProvenNotingKept(url, proof, *keptBeside, maximumBytes);
        }
        return fileManager.removeIfProven(url, proof, maximumBytes);
    }
    if (!fileManager.fileExists(url)) {
        return velto::ProvenRemovalOutcome::absent;
    }
    std::string bytes;
    try {
        bytes = fileManager.readFile(url, maximumBytes);
    } catch (const velto::FileSystemError &error) {
        // Larger than any bytes that could prove it: kept, as the file manager's own removal keeps it.
        if (error.code() == EFBIG) {
            return velto::ProvenRemovalOutcome::kept;
        }
        throw;
    }
    if (!proof(bytes)) {
        return velto::ProvenRemovalOutcome::kept;
    }
    removeItem(url);
    return velto::ProvenRemovalOutcome::removed;
}

velto::ProvenRemovalOutcome removeIfHolding(const std::filesystem::path &url, std::string_view bytes,
                                            velto::FileSystem &fileManager, const RemoveOperation &removeItem) {
    // A file longer than the bytes cannot hold them: it is kept unread past their length.
    auto holdsTheBytes = [bytes](std::string_view found) { return found == bytes; };
    return removeIfProven(url, holdsTheBytes, fileManager, removeItem, nullptr, bytes.size());
}

std::optional<velto::ProvenRemovalOutcome>
removeIfThePageHoldsEveryLine(const std::filesystem::path &url, std::string_view text, std::string_view pageText,
                              bool lastLineMayBeCutShort, velto::FileSystem &fileManager) {
    if (holdsLinesThePageLacks(text, pageText, lastLineMayBeCutShort)) {
        return std::nullopt;
    }
    return removeIfHolding(url, text, fileManager);
}

} // namespace VeltoPageLibrary

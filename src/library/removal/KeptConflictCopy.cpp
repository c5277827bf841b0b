#include "library/removal/KeptConflictCopy.h"

#include "library/folder/PageFileNaming.h"
#include "library/removal/FileRemoval.h"
#include "model/Page.h"
#include "platform/Text.h"

#include <string_view>

namespace VeltoPageLibrary {

namespace {

velto::VeltoPage conflictCopyOf(const std::string &text, velto::Date now,
                                const std::optional<velto::Uuid> &originOfUnnamedText) {
    auto content = velto::VeltoPageFileContent::parse(text);
    auto origin = content.veltoPageID();
    if (!origin) {
        origin = content.conflictOriginalPageID() ? content.conflictOriginalPageID() : originOfUnnamedText;
    }
    content.writeVeltoMetadata(std::nullopt, content.isArchived(), origin);
    velto::VeltoPage copy;
    copy.id = velto::Uuid::random();
    copy.createdAt = now;
    copy.updatedAt = now;
    copy.fileSlug = "conflict-copy";
    copy.archivedAt = content.isArchived() ? std::optional<velto::Date>(now) : std::nullopt;
    copy.content = velto::VeltoPageContent::loaded(std::move(content));
    return copy;
}

} // namespace

std::optional<velto::VeltoPage> keepAsConflictCopy(const std::filesystem::path &file, const std::string &text,
                                                   velto::Date now, velto::FileSystem &fileManager,
                                                   const std::optional<velto::Uuid> &originOfUnnamedText) {
    if (!velto::text::isValidUTF8(text)) {
        return std::nullopt;
    }
    velto::VeltoPage copy = conflictCopyOf(text, now, originOfUnnamedText);
    auto url = file.parent_path() / pageFileName(namingRecord(copy));
    if (fileManager.replaceIfUnchanged(url, copy.persistedFileText().text.view(), std::nullopt) !=
        velto::ReplacementOutcome::replaced) {
        return std::nullopt; // another program made a file of that name meanwhile: the file stays
    }
    removeIfHolding(file, text, fileManager);
    return copy;
}

bool isKeptFileName(const std::filesystem::path &path) {
    const std::string stem = path.stem().string();
    const std::string_view opening = " (kept ";
    constexpr std::size_t digits = 6;
    if (stem.size() < opening.size() + digits + 1 || !stem.ends_with(')')) {
        return false;
    }
    const std::size_t start = stem.size() - 1 - digits - opening.size();
    if (stem.compare(start, opening.size(), opening) != 0) {
        return false;
    }
    for (std::size_t index = start + opening.size(); index < stem.size() - 1; ++index) {
        char character = stem[index];
        if (!((character >= '0' && character <= '9') || (character >= 'a' && character <= 'f'))) {
            return false;
        }
    }
    return true;
}

} // namespace VeltoPageLibrary

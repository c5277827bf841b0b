#include "library/KeptConflictCopy.h"

#include "library/PageFileNaming.h"
#include "model/Page.h"
#include "platform/Text.h"

namespace VeltoPageLibrary {

namespace {

velto::VeltoPage conflictCopyOf(const std::string &text, velto::Date now) {
    auto content = velto::VeltoPageFileContent::parse(text);
    auto origin = content.veltoPageID();
    content.writeVeltoMetadata(std::nullopt, content.isArchived(), origin ? origin : content.conflictOriginalPageID());
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

bool keepAsConflictCopy(const std::filesystem::path &file, const std::string &text, velto::Date now,
                        velto::FileSystem &fileManager) {
    if (!velto::text::isValidUTF8(text)) {
        return false;
    }
    velto::VeltoPage copy = conflictCopyOf(text, now);
    auto url = file.parent_path() / pageFileName(namingRecord(copy));
    if (fileManager.replaceIfUnchanged(url, copy.persistedFileText().text.view(), std::nullopt) !=
        velto::ReplacementOutcome::replaced) {
        return false; // another program made a file of that name meanwhile: the file stays
    }
    fileManager.removeIfHolding(file, text);
    return true;
}

} // namespace VeltoPageLibrary

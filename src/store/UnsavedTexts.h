#pragma once

#include "model/CopyOnWriteText.h"
#include "platform/Date.h"
#include "platform/FileSystem.h"
#include "platform/Uuid.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

// Typed text the store holds on no disk, written whole into files outside the Pages folder (which may refuse writes,
// or the page's size) while saves fail and at a quit whose final save failed, to be named at the next launch.
namespace velto {

class VeltoStore;

/// The text of a page that holds a change not on disk, shared with the store: taking it copies nothing, and the
/// store's later edits never change it, so it may be written from another thread.
struct VeltoUnsavedText {
    Uuid pageID;
    CopyOnWriteText text;
    /// The page's file, whose readers the kept file keeps; nothing for a page without one.
    std::optional<std::filesystem::path> pageFile;
};

/// One file a page's text was kept in: what it holds, by checksum, so that it is only ever written over or removed
/// while it holds exactly that; and the version of the text, so that an unchanged text is not written again.
struct VeltoKeptText {
    std::filesystem::path file;
    std::optional<std::string> checksum;
    std::uint64_t textVersion = 0;
};

/// The files texts were kept in, one a page however often its text is kept again, and why a text could not be kept.
struct VeltoKeptTexts {
    std::map<Uuid, VeltoKeptText> files;
    std::vector<std::string> failures;
    /// The pages whose text the last keep could not write, with why: that text is in no file, only in the page Velto
    /// holds (an earlier text of the page stays in its file of `files`, when it has one).
    std::map<Uuid, std::string> notKept;
};

/// Whether the last keep left typed text in no file.
inline bool lastKeepFailed(const VeltoKeptTexts &kept) {
    return !kept.notKept.empty();
}

/// The loaded pages that hold a change not on disk, the current page first; none while the library waits for its
/// recovery, which saves nothing.
std::vector<VeltoUnsavedText> unsavedTexts(const VeltoStore &store);

/// Whether a page holds typed text that is on no disk: a change whose save is still to come, or was refused.
bool holdsUnsavedText(const VeltoStore &store);

/// Writes each text into the file `kept` holds for its page, while that file still holds what was kept there, else
/// into a new file of `folder`, which `kept` then holds. A text kept unchanged before is not written again.
/// Failures are added to `kept`, and each page whose text could not be written is in `kept.notKept` until a keep of
/// it succeeds. Runs on any thread: it reads only the texts.
void keepUnsavedTexts(const std::vector<VeltoUnsavedText> &texts, FileSystem &fileSystem,
                      const std::filesystem::path &folder, Date now, VeltoKeptTexts &kept);

/// keepUnsavedTexts of the store's unsaved texts, on the store's thread.
void keepUnsavedTexts(const VeltoStore &store, FileSystem &fileSystem, const std::filesystem::path &folder, Date now,
                      VeltoKeptTexts &kept);

/// Takes back the kept files once their texts are saved as pages: each file that still holds what was kept there is
/// removed and no longer named at the next launch; a file changed since (someone wrote into it) stays, and is named.
void withdrawKeptTexts(FileSystem &fileSystem, const std::filesystem::path &folder, VeltoKeptTexts &kept);

} // namespace velto

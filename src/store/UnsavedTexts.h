#pragma once

#include "platform/Date.h"
#include "platform/FileSystem.h"
#include "platform/Uuid.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

// Typed text the store holds on no disk, written whole into files outside the Pages folder (which may refuse writes,
// or the page's size) while saves fail and at a quit whose final save failed, to be named at the next launch.
namespace velto {

class VeltoStore;

/// The files texts were kept in, one a page however often its text is kept again, and why a text could not be kept.
struct VeltoKeptTexts {
    std::map<Uuid, std::filesystem::path> files;
    std::vector<std::string> failures;
};

/// Whether a page holds typed text that is on no disk: a change whose save is still to come, or was refused. Never
/// while the library waits for its recovery, which saves nothing.
bool holdsUnsavedText(const VeltoStore &store);

/// Writes the text of every page holding a change not on disk, as the editor has it: over the file `kept` holds for
/// the page, else into a new file of `folder`, which `kept` then holds. Failures are added to `kept`. The store does
/// not change: its text stays held for the save it still owes.
void keepUnsavedTexts(const VeltoStore &store, FileSystem &fileSystem, const std::filesystem::path &folder, Date now,
                      VeltoKeptTexts &kept);

} // namespace velto

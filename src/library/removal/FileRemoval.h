#pragma once

#include "platform/FileSystem.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

// The removal room owns every decision that a file which may hold someone's words leaves the Pages folder (or Velto's
// folder of unsaved text): a deleted page's file, a page file emptied or left by a removed page, the temporary file
// of a write that never finished, the file a replacement swapped out, a file a conflict copy was made of, a stopped
// save's own copies and what an unfinished copy wrote. Each goes through removeIfProven below, under one rule: a file
// goes only while the bytes it holds at the moment it goes prove that no one's words go with it, and any other byte
// keeps it. A caller states what proves it (the bytes its deletion saw, the bytes this library wrote or recorded
// there, bytes whose every line the page holds or of which a conflict copy was made); a file that cannot prove it
// stays, or is kept as a conflict copy (KeptConflictCopy), so that a clean-up never decides on a guess. Files that
// never hold a page's words go by name instead: the library's own metadata and its unfinished writes in ".velto",
// and the temporary files of an unfinished copy's writes in a folder that held no library. The room calls the file
// system, the Pages folder's names and the metadata below it; it never loads or saves a library.
namespace VeltoPageLibrary {

/// Removes a file; throws when it cannot. Tests inject one to stop or fail a removal at a chosen moment.
using RemoveOperation = std::function<void(const std::filesystem::path &url)>;

/// The one removal of a file that may hold someone's words: removes the file while its bytes, as they are when it
/// goes, pass `proof`. Without `removeItem` the file manager takes it aside, proves and removes it in one step, and
/// keeps a file larger than `maximumBytes`; an injected removal removes it right after its bytes were read and
/// proven. With `keptBeside` given, a file kept under a "(kept …)" name beside another file that came to its path is
/// named there. Errors are thrown.
velto::ProvenRemovalOutcome removeIfProven(const std::filesystem::path &url, const velto::RemovalProof &proof,
                                           velto::FileSystem &fileManager, const RemoveOperation &removeItem = {},
                                           std::optional<std::filesystem::path> *keptBeside = nullptr,
                                           std::size_t maximumBytes = velto::largestReadableFileBytes);

/// removeIfProven with the proof that the file holds exactly `bytes`: bytes read before and judged to lose no one's
/// words (copied into a conflict copy, held line by line by the page, recorded by this library), or the bytes this
/// library wrote there. A file that holds anything else since stays. Errors are thrown.
velto::ProvenRemovalOutcome removeIfHolding(const std::filesystem::path &url, std::string_view bytes,
                                            velto::FileSystem &fileManager, const RemoveOperation &removeItem = {});

/// Removes the file holding `text` when `pageText` holds every line of it (see holdsLinesThePageLacks, whose
/// `lastLineMayBeCutShort` this passes on), while the file still holds exactly `text`. Nothing when the page lacks a
/// line of it and nothing was tried: the caller keeps the text. Errors are thrown.
std::optional<velto::ProvenRemovalOutcome>
removeIfThePageHoldsEveryLine(const std::filesystem::path &url, std::string_view text, std::string_view pageText,
                              bool lastLineMayBeCutShort, velto::FileSystem &fileManager);

} // namespace VeltoPageLibrary

#pragma once

#include "model/Page.h"
#include "platform/Date.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <optional>
#include <string>

// A file that a clean-up would take away but whose text may be someone's only copy (another program's lines in a
// temporary file, a deleted page's file that another program wrote into since) becomes a conflict copy instead: a
// page of its own that the next look at the folder takes in.
namespace VeltoPageLibrary {

/// Writes `text`, the file's bytes as they were read, as a conflict copy beside the file: under a fresh identifier,
/// which its file carries, naming the page whose identifier the text carries as its origin (`originOfUnnamedText`
/// when it carries none), so that it never takes that page's place. Then the file goes, while it still holds `text`;
/// one that changed meanwhile stays. The copy's page, when it was written. A text that is no UTF-8 (which no page
/// holds) gets no copy, and its file stays. Errors are thrown.
std::optional<velto::VeltoPage> keepAsConflictCopy(const std::filesystem::path &file, const std::string &text,
                                                   velto::Date now, velto::FileSystem &fileManager,
                                                   const std::optional<velto::Uuid> &originOfUnnamedText = {});

/// Whether the file's name is one velto::keptFileName gives, under which a file that could not go back to its own
/// name stays beside it: " (kept " and six lower-case hexadecimal digits, then ")", before the extension.
bool isKeptFileName(const std::filesystem::path &path);

} // namespace VeltoPageLibrary

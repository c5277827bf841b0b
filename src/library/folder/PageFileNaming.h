#pragma once

#include "model/ContentChecksum.h"
#include "model/LibraryPageRecord.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace VeltoPageLibrary {

/// The 64-bit FNV-1a hash of the text's UTF-8 bytes in lower-case hexadecimal without leading zeros
/// ("abc" gives "e71fa2190541574b", "é" the 15 digits "ac21707b7181e01"); nothing for the empty text.
/// Stored checksums are compared as text with fresh ones, so this exact form is part of the file format.
using velto::contentChecksum;

/// "2026-01-05": the record's creation day in UTC, never in the user's time zone.
std::string pageFileStem(const velto::VeltoLibraryPageRecord &record);

/// The page file's name relative to the Pages folder: the record's fixed path when it has one, else
/// "2026-01-05-calm-cove-1a2b3c4d.md" for a page created on 5 January 2026 with the slug "calm-cove" whose
/// identifier begins 1A2B3C4D ("2026-01-05-1a2b3c4d.md" without a slug).
std::string pageFileName(const velto::VeltoLibraryPageRecord &record);

/// The record fields that name a page's file (identifier, creation date, slug, path) and nothing else: a
/// full record would checksum the page's whole text, megabytes on every save of a full library.
velto::VeltoLibraryPageRecord namingRecord(const velto::VeltoPage &page);

/// Whether the path's extension is "md" in any letter case ("Plan.MD" has it, "md" and "a.md.txt" do not).
bool hasMarkdownExtension(const std::filesystem::path &path);

/// Whether a relative path may be one of the library's page files: relative, ending in ".md" in any
/// letter case, without empty, "." or ".." pieces, and not inside ".velto". "Notes/a.MD" is managed;
/// "/a.md", "a//b.md", "x/../a.md" and ".velto/manifest.md" are not.
bool isManagedPageFileName(std::string_view relativePath);

/// The activity order of records, most recently active first: later update (or creation when never
/// updated), then later creation, then the smaller identifier text. A strict order for stable sorts.
bool recordActivityPrecedes(const velto::VeltoLibraryPageRecord &a, const velto::VeltoLibraryPageRecord &b);

} // namespace VeltoPageLibrary

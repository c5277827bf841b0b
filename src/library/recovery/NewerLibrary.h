#pragma once

#include "platform/FileSystem.h"

#include <filesystem>

// A library that a newer Velto wrote is never rewritten by this one: its formats may hold what this version
// cannot read, and rewriting them would lose it for the newer version too.
namespace VeltoPageLibrary {

/// Throws UnsupportedManifestSchemaError when the folder's manifest, or UnsupportedDeletionIndexSchemaError when
/// one of its deletion shards, was written in a newer format. A file that cannot be read or decoded is no sign
/// of a newer library: it is left to whoever reads it next. Reads only; the caller holds the library lock.
void refuseNewerLibrary(const std::filesystem::path &folderURL, velto::FileSystem &fileManager);

} // namespace VeltoPageLibrary

#pragma once

#include "platform/Uuid.h"

#include <filesystem>
#include <string>

namespace velto::testing {

/// The text of the Markdown file in the folder (or a folder inside it) that carries the page's identifier;
/// empty when none does.
std::string pageFileText(const std::filesystem::path &folder, const Uuid &pageID);

} // namespace velto::testing

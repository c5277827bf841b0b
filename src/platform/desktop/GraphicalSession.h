#pragma once

#include <optional>
#include <string>

namespace velto {

/// Why Velto cannot show anything here, in one line for the error output: no X display is set (started over ssh,
/// on a server) or the one set cannot be reached. None when the X server answers.
std::optional<std::string> missingGraphicalSession();

} // namespace velto

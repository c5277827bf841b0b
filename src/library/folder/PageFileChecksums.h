#pragma once

#include "model/PageFileContent.h"

#include <optional>
#include <string>
#include <string_view>

namespace VeltoPageLibrary {

/// The two checksums a page record carries, of the whole file text and of its parsed body; and whether the
/// text is plain ASCII, which is valid UTF-8 without further checking.
struct PageFileChecksums {
    std::optional<std::string> contentChecksum;
    std::optional<std::string> bodyChecksum;
    bool isASCII = false;
};

/// contentChecksum of the text and of the parsed body, equal to computing each on its own. A file with "\n"
/// line breaks ends with its body, and then both hashes are computed in one pass over the text: the two
/// chains of multiplications run side by side, so a page costs one pass instead of two, and the same pass
/// notes any byte outside ASCII. `isASCII` is false whenever that pass was not made.
PageFileChecksums pageFileChecksums(std::string_view text, const velto::VeltoPageFileContent &content);

} // namespace VeltoPageLibrary

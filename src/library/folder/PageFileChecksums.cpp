#include "library/folder/PageFileChecksums.h"

#include "model/ContentChecksum.h"

namespace VeltoPageLibrary {

PageFileChecksums pageFileChecksums(std::string_view text, const velto::VeltoPageFileContent &content) {
    // With "\r\n" line breaks the file never ends with its body, whose breaks are "\n".
    if (content.lineEnding != "\n") {
        return {velto::contentChecksum(text), velto::contentChecksum(content.body)};
    }
    velto::ContentChecksumPair checksums = velto::contentChecksums(text, content.body);
    return {std::move(checksums.first), std::move(checksums.second), checksums.isASCII};
}

} // namespace VeltoPageLibrary

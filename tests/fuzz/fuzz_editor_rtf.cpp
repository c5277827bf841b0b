// Arbitrary bytes through the rich-text reader. It must never crash, hang or grow its output beyond its
// input: every character it gives back comes from at least one byte. Inputs with an odd first byte are
// read behind an RTF header, so that most of them get past the header check.
#include "editor/rules/RtfTextReader.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

void check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    std::string rtf = (data[0] & 1) != 0 ? "{\\rtf1\\ansi " : "";
    rtf.append(reinterpret_cast<const char *>(data + 1), size - 1);
    const std::optional<std::u16string> text = velto::editor::RtfTextReader::plainText(rtf);
    check(!text || text->size() <= rtf.size());
    return 0;
}

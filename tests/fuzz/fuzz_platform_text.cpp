// Arbitrary bytes through the text helpers. The comparison's shortcuts must agree with comparing the NFC forms
// of the whole texts, lossy decoding must give well-formed UTF-8, and grapheme prefixes must cover the text.
#include "platform/Text.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

int sign(int value) {
    return (value > 0) - (value < 0);
}

void check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    using namespace velto::text;
    if (size == 0) {
        return 0;
    }
    std::string_view input(reinterpret_cast<const char *>(data + 1), size - 1);
    std::size_t split = data[0] % (input.size() + 1);
    std::string_view a = input.substr(0, split);
    std::string_view b = input.substr(split);

    const std::string nfcA = nfc(a);
    const std::string nfcB = nfc(b);
    check(canonicallyEqual(a, b) == (nfcA == nfcB));
    check(sign(canonicalCompare(a, b)) == sign(nfcA.compare(nfcB)));
    check(sign(canonicalCompare(a, b)) == -sign(canonicalCompare(b, a)));
    check(!canonicallyEqual(a, b) || canonicalHash(a) == canonicalHash(b));

    const std::string lossy = decodingUTF8Lossy(input);
    check(isValidUTF8(lossy));
    check(isValidUTF8(input) == (lossy == input));
    check(toUTF8(toUTF16(input)) == lossy);
    check(isValidUTF8(lowercased(lossy)));

    const std::size_t count = graphemeCount(input);
    check(graphemePrefix(input, count) == input);
    check(count == 0 || graphemePrefix(input, count - 1).size() < input.size());

    std::string_view trimmed = trimmingWhitespaceAndNewlines(input);
    check(input.find(trimmed) != std::string_view::npos);
    check(trimmingWhitespace(trimmed).size() <= trimmed.size());
    return 0;
}

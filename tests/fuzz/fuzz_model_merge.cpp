// Three-way merges of arbitrary texts: never crash, take the changed side when only one side changed, agree
// when the sides are swapped, and rebuild a side's body exactly from its line difference.

#include "model/PageFileContent.h"
#include "model/ThreeWayMerge.h"
#include "platform/Text.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>

using velto::VeltoPageFileContent;
using velto::text::canonicallyEqual;
using velto::VeltoThreeWayMerge::merge;

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    std::string base = provider.ConsumeRandomLengthString(size);
    std::string local = provider.ConsumeRandomLengthString(size);
    std::string external = provider.ConsumeRemainingBytesAsString();

    // Texts compare by canonical equivalence (ill-formed bytes read as U+FFFD), so an unchanged side may come
    // back in the other side's form.
    auto sameText = [](const std::optional<std::string> &result, const std::string &expected) {
        return result.has_value() && canonicallyEqual(*result, expected);
    };
    std::optional<std::string> merged = merge(base, local, external);
    require(sameText(merge(base, base, external), external));
    require(sameText(merge(base, local, base), local));
    require(merge(base, local, local) == local);

    // Conflicts do not depend on which side is which, and neither does the result beyond the bytes of lines
    // that both sides wrote in different but canonically equivalent forms.
    std::optional<std::string> swapped = merge(base, external, local);
    require(merged.has_value() == swapped.has_value());
    if (merged) {
        require(canonicallyEqual(*merged, *swapped));
    }

    // Only the local body and the external front matter changed: the merge must rebuild the local body from
    // its line difference against the base.
    std::string baseFile = "---\na\n---\n" + base;
    std::string localFile = "---\na\n---\n" + local;
    std::string externalFile = "---\nb\n---\n" + base;
    if (!canonicallyEqual(localFile, baseFile)) {
        std::optional<std::string> bodyMerge = merge(baseFile, localFile, externalFile);
        require(bodyMerge.has_value());
        VeltoPageFileContent expected = VeltoPageFileContent::parse(localFile);
        expected.frontMatter = "b";
        require(canonicallyEqual(*bodyMerge, expected.fileContents()));
    }
    return 0;
}

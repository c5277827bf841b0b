// Which reads of a metadata file decode it anew, and which take the value its same bytes gave last time.

#include "library/DecodedFileCache.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using VeltoPageLibrary::DecodedFileCache;

// The files of the two folders used last are kept, however many files each holds; a folder used longer ago
// has lost its files, so a library the process stopped using keeps no megabytes of decoded records.
TEST(DecodedFileCache, KeepsTheFilesOfTheTwoFoldersUsedLast) {
    struct Read {
        const char *url;
        const char *bytes;
        bool decodes;
    };
    const Read reads[] = {
        {"/a/.velto/writers/1.json", "one", true},      {"/a/.velto/writers/2.json", "two", true},
        {"/a/.velto/writers/1.json", "one", false},     {"/a/.velto/writers/1.json", "changed", true},
        {"/b/.velto/writers/1.json", "one", true},      {"/a/.velto/writers/2.json", "two", false},
        {"/c/.velto/writers/1.json", "one", true}, // drops b, used longest ago
        {"/a/.velto/writers/1.json", "changed", false}, {"/b/.velto/writers/1.json", "one", true},
        {"/c/.velto/writers/1.json", "one", true}, // b came back and dropped c
    };
    DecodedFileCache<std::string> cache;
    int decodes = 0;
    auto decode = [&](const std::string &bytes) {
        ++decodes;
        return "decoded " + bytes;
    };
    for (std::size_t index = 0; index < std::size(reads); ++index) {
        SCOPED_TRACE(index);
        const auto &read = reads[index];
        int before = decodes;
        EXPECT_EQ(cache.decoded(read.url, read.bytes, decode), std::string("decoded ") + read.bytes);
        EXPECT_EQ(decodes - before, read.decodes ? 1 : 0);
    }
}

} // namespace

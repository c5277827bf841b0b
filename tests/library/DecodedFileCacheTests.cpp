// Which reads of a metadata file decode it anew, and which take the value its same bytes gave last time.

#include "library/metadata/DecodedFileCache.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>

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

// A load decodes the journals on another thread while it reads the manifest: its read of a journal still being
// decoded ahead waits for that decoding and takes its value; bytes that changed meanwhile are decoded anew, and
// a decoding ahead that failed leaves the read to meet the failure itself.
TEST(DecodedFileCache, AReadTakesWhatWasDecodedAheadOfItAndWaitsForIt) {
    DecodedFileCache<std::string> cache;
    std::atomic<int> decodes = 0;
    std::promise<void> aheadStarted;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::thread ahead([&] {
        cache.prepare("/a/.velto/writers/1.json", "one", [&](const std::string &bytes) {
            ++decodes;
            aheadStarted.set_value();
            released.wait();
            return "decoded " + bytes;
        });
    });
    aheadStarted.get_future().wait();
    auto read = std::async(std::launch::async, [&] {
        return cache.decoded("/a/.velto/writers/1.json", "one", [&](const std::string &bytes) {
            ++decodes;
            return "again " + bytes;
        });
    });
    // Time for the read to reach the file while it is still being decoded: without it the test still passes.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    release.set_value();
    ahead.join();
    EXPECT_EQ(read.get(), "decoded one");
    EXPECT_EQ(decodes, 1);

    auto decode = [&](const std::string &bytes) {
        ++decodes;
        return "decoded " + bytes;
    };
    EXPECT_EQ(cache.decoded("/a/.velto/writers/1.json", "changed", decode), "decoded changed");
    cache.prepare("/a/.velto/writers/2.json", "broken",
                  [](const std::string &) -> std::string { throw std::runtime_error("not JSON"); });
    EXPECT_THROW(cache.decoded("/a/.velto/writers/2.json", "broken",
                               [](const std::string &) -> std::string { throw std::runtime_error("not JSON"); }),
                 std::runtime_error);
}

} // namespace

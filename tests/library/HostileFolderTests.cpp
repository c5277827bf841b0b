// A Pages folder that other programs, sync clients and people share: files the library cannot read, names at the
// length limit, private and read-only pages, a stuck process holding the lock, a full device, leftovers of killed
// saves. None of them may close the library, and none of the user's files may be changed by them.

#include "ReliabilitySupport.h"
#include "WriteTestSupport.h"

#include "library/folder/LibraryLock.h"
#include "library/load/FullLoad.h"
#include "library/removal/StaleTemporaryFiles.h"
#include "library/save/WriteTransaction.h"
#include "support/FailingFileSystem.h"
#include "support/GenerousWait.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/time.h>

using namespace velto;
using namespace velto::writetesting;
using velto::reliabilitytesting::DriverProcess;
using velto::testing::FailingFileSystem;
using velto::testing::TemporaryFolder;

namespace {

const Uuid pageA = *Uuid::parse("A1000000-0000-4000-8000-000000000001");
const Uuid pageB = *Uuid::parse("B2000000-0000-4000-8000-000000000002");

std::filesystem::path pageFileEndingWith(const std::filesystem::path &folder, const std::string &ending) {
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename().string().ends_with(ending)) {
            return entry.path();
        }
    }
    ADD_FAILURE() << "no page file ending with " << ending;
    return folder / ending;
}

std::string fileBytes(const std::filesystem::path &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

void writeBytes(const std::filesystem::path &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

/// The driver's JSON, failing the test when it exits with an error.
Json driver(const std::vector<std::string> &arguments, const TemporaryFolder &scratch, const std::string &input = "") {
    auto output = velto::reliabilitytesting::runDriver(arguments, input, (scratch / "run").string());
    return output.value_or(Json());
}

std::vector<std::string> pageTexts(const Json &loaded) {
    std::vector<std::string> texts;
    for (const auto &page : loaded.at("pages")) {
        if (page.at("kind") == "content") {
            texts.push_back(page.at("text").get<std::string>());
        }
    }
    std::sort(texts.begin(), texts.end());
    return texts;
}

bool anyFileNamed(const std::filesystem::path &folder, const std::string &part) {
    for (const auto &entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.path().filename().string().find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

struct UnreadableCase {
    const char *name;
    std::string bytes; // empty: a file beyond the largest one read, made sparse
};

std::vector<UnreadableCase> unreadableCases() {
    return {
        {"Latin-1 text from another program", "caf\xe9 cr\xe8me\n"},
        {"UTF-16 with a byte-order mark", std::string("\xff\xfe"
                                                      "h\0i\0\n\0",
                                                      8)},
        {"larger than the largest file read", ""},
    };
}

void placeUnreadable(const std::filesystem::path &path, const UnreadableCase &testCase) {
    if (testCase.bytes.empty()) {
        writeBytes(path, "# big\n");
        std::filesystem::resize_file(path, largestReadableFileBytes + 1);
    } else {
        writeBytes(path, testCase.bytes);
    }
}

// A file nobody can read as a page, beside good pages: in a folder that Velto never used and in a library whose
// page file another program replaced. The good pages load and save, the file is named, and it stays byte for byte.
TEST(HostileFolder, UnreadableFileIsNamedAndLeftAloneWhileTheOtherPagesLoadAndSave) {
    for (const auto &testCase : unreadableCases()) {
        for (bool existingLibrary : {false, true}) {
            SCOPED_TRACE(std::string(testCase.name) + (existingLibrary ? ", existing library" : ", plain folder"));
            TemporaryFolder scratch;
            auto folder = scratch / "Pages";
            std::filesystem::path unreadable;
            if (existingLibrary) {
                writeTwoPageLibrary(folder, pageA, pageB);
                unreadable = pageFileEndingWith(folder, "a1000000.md");
            } else {
                scratch.writeFile("Pages/beta.md", "beta\n");
                scratch.writeFile("Pages/gamma.md", "gamma\n");
                unreadable = folder / "other.md";
            }
            placeUnreadable(unreadable, testCase);
            auto before = fileBytes(unreadable);

            for (int launch = 0; launch < 2; ++launch) {
                auto loaded = driver({"load", folder.string()}, scratch);
                ASSERT_EQ(loaded.value("outcome", ""), "loaded") << loaded.dump();
                auto expected = existingLibrary ? std::vector<std::string>{"beta\n"}
                                                : std::vector<std::string>{"beta\n", "gamma\n"};
                EXPECT_EQ(pageTexts(loaded), expected);
                ASSERT_EQ(loaded["unreadableFiles"].size(), 1u) << loaded.dump();
                EXPECT_EQ(loaded["unreadableFiles"][0]["relativePath"], unreadable.filename().string());
            }
            auto loaded = driver({"load", folder.string()}, scratch);
            std::string good;
            for (const auto &page : loaded["pages"]) {
                if (page["text"] == "beta\n") {
                    good = page["id"].get<std::string>();
                }
            }
            driver({"write", folder.string()}, scratch, R"({"setText": {")" + good + R"(": "beta saved\n"}})");
            EXPECT_EQ(pageTexts(driver({"load", folder.string()}, scratch)).front(), "beta saved\n");
            EXPECT_FALSE(anyFileNamed(folder / ".velto", "recovery")) << "nothing is set aside as damaged";
            driver({"recover", folder.string()}, scratch);
            EXPECT_EQ(fileBytes(unreadable), before);
        }
    }
}

// Without read permission (as the tests may run with privileges that read anything, the refusal is injected), and
// on a failing disk sector (EIO): the page is named with the reason, the rest loads and saves, and the file is left
// as it is.
TEST(HostileFolder, PageThatCannotBeReadIsNamedWithTheReasonAndTheOthersLoadAndSave) {
    struct Case {
        int error;
        const char *reason;
    };
    for (const Case &testCase : {Case{EACCES, "Permission denied"}, Case{EIO, "Input/output error"}}) {
        SCOPED_TRACE(testCase.reason);
        TemporaryFolder folder;
        writeTwoPageLibrary(folder.path(), pageA, pageB);
        auto failingFile = pageFileEndingWith(folder.path(), "a1000000.md");
        auto failingBytes = fileBytes(failingFile);
        FailingFileSystem fileSystem;
        fileSystem.countOnly({FileOperation::read});
        fileSystem.countOnlyPathsContaining(failingFile.filename().string());
        fileSystem.failFromOperation(1, testCase.error);

        auto result = VeltoPageLibrary::load(folder.path(), fileSystem, day(9));
        const auto *loaded = result.asLoaded();
        ASSERT_NE(loaded, nullptr) << result.failureIssue()->message;
        EXPECT_EQ(loaded->document.currentPage.id, pageB) << "the readable page became current";
        ASSERT_EQ(loaded->unreadableFiles.size(), 1u);
        EXPECT_EQ(loaded->unreadableFiles[0].relativePath, failingFile.filename().string());
        EXPECT_EQ(loaded->unreadableFiles[0].reason, testCase.reason);
        {
            // A folder given by a path relative to the working folder names the file the same way, once.
            const std::filesystem::path working = std::filesystem::current_path();
            std::filesystem::current_path(folder.path().parent_path());
            auto relative = VeltoPageLibrary::load(folder.path().filename(), fileSystem, day(9));
            std::filesystem::current_path(working);
            ASSERT_NE(relative.asLoaded(), nullptr);
            ASSERT_EQ(relative.asLoaded()->unreadableFiles.size(), 1u);
            EXPECT_EQ(relative.asLoaded()->unreadableFiles[0].relativePath, failingFile.filename().string());
        }

        auto document = loaded->document;
        velto::replacePage(document, pageWithBody(pageB, "beta saved\n"));
        VeltoPageLibrary::write(requestFor(document, {pageB}), folder.path(), fileSystem);
        EXPECT_NE(fileBytes(pageFileEndingWith(folder.path(), "b2000000.md")).find("beta saved\n"), std::string::npos);
        EXPECT_EQ(fileBytes(failingFile), failingBytes);
        EXPECT_NE(VeltoPageLibrary::load(folder.path(), fileSystem, day(9)).asLoaded(), nullptr);
    }
}

// A page whose name takes nearly all of the 255 bytes a name may have can be saved like any other.
TEST(HostileFolder, PageWithALongNameIsSaved) {
    for (std::size_t length : {238u, 240u, 255u}) {
        SCOPED_TRACE(length);
        TemporaryFolder scratch;
        auto name = std::string(length - 3, 'n') + ".md";
        scratch.writeFile("Pages/" + name, "long\n");
        auto folder = (scratch / "Pages").string();
        auto id = driver({"load", folder}, scratch)["pages"][0]["id"].get<std::string>();

        driver({"write", folder}, scratch, R"({"setText": {")" + id + R"(": "long, saved\n"}})");

        EXPECT_NE(fileBytes(scratch / "Pages" / name).find("long, saved\n"), std::string::npos);
        EXPECT_FALSE(anyFileNamed(scratch / "Pages", ".tmp-")) << "no temporary file is left";
    }
}

// A save keeps the page's permission bits and group; a page its owner marked read-only is not replaced, also with
// privileges that could write it anyway: its text is kept as a recovered page beside it.
TEST(HostileFolder, SaveKeepsPermissionsAndRefusesAReadOnlyPage) {
    struct Case {
        mode_t mode;
        bool saves;
    };
    for (const Case &testCase : {Case{0600, true}, Case{0640, true}, Case{0444, false}}) {
        SCOPED_TRACE(testCase.mode);
        TemporaryFolder scratch;
        auto folder = scratch / "Pages";
        writeTwoPageLibrary(folder, pageA, pageB);
        auto file = pageFileEndingWith(folder, "a1000000.md");
        ASSERT_EQ(::chmod(file.c_str(), testCase.mode), 0);
        ASSERT_EQ(::chown(file.c_str(), static_cast<uid_t>(-1), 100), 0);
        auto before = fileBytes(file);

        DriverProcess save({"write", folder.string()},
                           R"({"setText": {")" + pageA.uppercaseText() + R"(": "edited\n"}})",
                           (scratch / "run").string());
        ASSERT_TRUE(save.started());
        struct stat info {};
        ASSERT_EQ(::stat(file.c_str(), &info), 0);
        if (testCase.saves) {
            EXPECT_EQ(save.wait(), 0) << save.errorOutput();
            EXPECT_NE(fileBytes(file).find("edited\n"), std::string::npos);
        } else {
            EXPECT_EQ(save.wait(), 0) << save.errorOutput();
            EXPECT_EQ(decodeJSON(save.output()).at("conflicts").size(), 1u) << save.output();
            EXPECT_EQ(fileBytes(file), before);
        }
        ASSERT_EQ(::stat(file.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, testCase.mode);
        EXPECT_EQ(info.st_gid, 100u);
    }
}

/// Waits until the condition holds, polling; false when it never did within the generous wait.
bool eventually(const std::function<bool()> &condition) {
    auto deadline = std::chrono::steady_clock::now() + velto::testing::generousWait;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

/// Whether another process holds the lock file now.
bool lockIsHeldElsewhere(const std::filesystem::path &lockFile) {
    int descriptor = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return false;
    }
    bool held = ::flock(descriptor, LOCK_EX | LOCK_NB) != 0;
    ::close(descriptor);
    return held;
}

// A stuck process holding the lock makes a load give up within a few seconds, naming the lock file as busy (a
// passing condition, not damage); once the lock is free, the library loads.
TEST(HostileFolder, HeldLockMakesTheLoadReportABusyLibraryInsteadOfWaitingForever) {
    TemporaryFolder scratch;
    auto folder = scratch / "Pages";
    writeTwoPageLibrary(folder, pageA, pageB);
    DriverProcess holder({"lock", folder.string(), "--seconds", "120"}, "", (scratch / "holder").string());
    ASSERT_TRUE(holder.started());
    auto lockFile = VeltoPageLibrary::libraryLockFileURL(folder);
    ASSERT_TRUE(eventually([&] { return lockIsHeldElsewhere(lockFile); }));

    auto started = std::chrono::steady_clock::now();
    auto result = VeltoPageLibrary::load(folder, defaultFileSystem(), day(9));
    auto waited = std::chrono::steady_clock::now() - started;

    const auto *issue = result.failureIssue();
    ASSERT_NE(issue, nullptr);
    EXPECT_EQ(issue->kind, VeltoStoreRecoveryIssue::Kind::temporarilyUnavailable);
    EXPECT_NE(issue->message.find(lockFile.string()), std::string::npos) << issue->message;
    EXPECT_LT(waited, std::chrono::seconds(30));

    holder.kill();
    EXPECT_NE(VeltoPageLibrary::load(folder, defaultFileSystem(), day(9)).asLoaded(), nullptr);
}

// A full device fails the write that needs space, cleanly and by name; the library still loads (the manifest
// that the load derives waits for a later write) and is never taken for damaged.
TEST(HostileFolder, FullDeviceIsReportedAsSuchAndNothingIsSetAside) {
    TemporaryFolder folder;
    writeTwoPageLibrary(folder.path(), pageA, pageB);
    folder.writeFile("new.md", "added by another program\n"); // makes the next load write the manifest
    auto manifestBefore = folder.readFile(".velto/manifest.json");

    FailingFileSystem fullDevice;
    fullDevice.countOnly({FileOperation::write});
    fullDevice.failFromOperation(1, ENOSPC);
    auto result = VeltoPageLibrary::load(folder.path(), fullDevice, day(9));
    ASSERT_NE(result.asLoaded(), nullptr) << result.failureIssue()->message;
    EXPECT_EQ(allPagesOf(result.asLoaded()->document).size(), 3u);
    EXPECT_TRUE(fullDevice.injectedFailure());
    EXPECT_EQ(folder.readFile(".velto/manifest.json"), manifestBefore);
    EXPECT_FALSE(anyFileNamed(folder / ".velto", "recovery"));

    auto document = loadedDocument(folder.path());
    auto edited = pageWithBody(pageA, "alpha edited\n");
    velto::replacePage(document, edited);
    try {
        VeltoPageLibrary::write(requestFor(document, {pageA}), folder.path(), fullDevice);
        ADD_FAILURE() << "the save succeeded on a full device";
    } catch (const FileSystemError &error) {
        EXPECT_EQ(error.code(), ENOSPC);
        EXPECT_NE(std::string(error.what()).find("a1000000.md"), std::string::npos) << error.what();
    }
    EXPECT_NE(folder.readFile(pageFileEndingWith(folder.path(), "a1000000.md").filename()).find("alpha\n"),
              std::string::npos);
    EXPECT_NE(VeltoPageLibrary::load(folder.path(), defaultFileSystem(), day(9)).asLoaded(), nullptr);
}

// The same on a real small file system, where the test may mount one.
TEST(HostileFolder, FullTmpfsFailsTheSaveCleanlyAndTheLibraryStillLoads) {
    TemporaryFolder scratch;
    auto mountPoint = scratch.createFolder("small");
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=512k") != 0) {
        GTEST_SKIP() << "no permission to mount a small file system here";
    }
    struct Unmount {
        std::filesystem::path path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{mountPoint};
    auto folder = mountPoint / "Pages";
    writeTwoPageLibrary(folder, pageA, pageB);
    {
        std::ofstream filler(mountPoint / "filler", std::ios::binary);
        std::string block(4096, 'x');
        while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) && filler.flush()) {
        }
    }
    DriverProcess save({"write", folder.string()},
                       R"({"setText": {")" + pageA.uppercaseText() + R"(": ")" + std::string(8192, 'y') + R"("}})",
                       (scratch / "run").string());
    ASSERT_TRUE(save.started());
    EXPECT_EQ(save.wait(), 2);
    EXPECT_NE(save.errorOutput().find("No space left on device"), std::string::npos) << save.errorOutput();

    auto loaded = driver({"load", folder.string()}, scratch);
    EXPECT_EQ(loaded.value("outcome", ""), "loaded") << loaded.dump();
    EXPECT_FALSE(anyFileNamed(folder / ".velto", "recovery"));
}

void makeOld(const std::filesystem::path &path) {
    struct timeval times[2] = {};
    gettimeofday(&times[0], nullptr);
    times[0].tv_sec -= 3600;
    times[1] = times[0];
    ASSERT_EQ(::utimes(path.c_str(), times), 0) << path;
}

// The temporary files of saves that a killed process never finished go at the next load; a fresh one (a save
// of another writer may be under way) and files of other programs stay.
TEST(HostileFolder, LoadRemovesOnlyStaleTemporaryFilesOfOurOwnNaming) {
    TemporaryFolder scratch;
    auto folder = scratch / "Pages";
    writeTwoPageLibrary(folder, pageA, pageB);
    struct Case {
        const char *path;
        bool old;
        bool removed;
    };
    const std::vector<Case> cases = {
        {".page.md.tmp-0123456789ab", true, true},
        {".velto.tmp-0123456789ab", true, true},
        {".velto/.manifest.json.tmp-a1b2c3d4e5f6", true, true},
        {".velto/writers/.w.json.tmp-a1b2c3d4e5f6", true, true},
        {".page.md.tmp-abcdefabcdef", false, false},
        {".notes.tmp-keepthisfile", true, false},
        {"page.md.tmp-0123456789ab", true, false},
    };
    for (const Case &testCase : cases) {
        scratch.writeFile(std::filesystem::path("Pages") / testCase.path, "left over\n");
        if (testCase.old) {
            makeOld(folder / testCase.path);
        }
    }
    ASSERT_EQ(driver({"load", folder.string()}, scratch).value("outcome", ""), "loaded");
    for (const Case &testCase : cases) {
        EXPECT_EQ(std::filesystem::exists(folder / testCase.path), !testCase.removed) << testCase.path;
    }
}

TEST(HostileFolder, TemporaryFileNamesAreRecognised) {
    EXPECT_TRUE(VeltoPageLibrary::isTemporaryFileName(".a.md.tmp-0123456789ab"));
    EXPECT_TRUE(VeltoPageLibrary::isTemporaryFileName(".velto.tmp-0123456789ab"));
    EXPECT_FALSE(VeltoPageLibrary::isTemporaryFileName(".tmp-0123456789ab"));
    EXPECT_FALSE(VeltoPageLibrary::isTemporaryFileName(".a.md.tmp-0123456789AB"));
    EXPECT_FALSE(VeltoPageLibrary::isTemporaryFileName(".a.md.tmp-0123456789a"));
    EXPECT_FALSE(VeltoPageLibrary::isTemporaryFileName("a.md.tmp-0123456789ab"));
}

} // namespace

// The files in which a quit keeps text it could not save as pages: named after the text, never over another file,
// whole or not at all, and each named to the user once.

#include "library/removal/FileRemoval.h"
#include "library/unsaved/UnsavedTextFiles.h"
#include "support/ChildProcess.h"
#include "support/FailingFileSystem.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velto {
namespace {

using testing::FailingFileSystem;
using testing::TemporaryFolder;

const Date keptAt = dateFromSecondsSince1970(1'796'922'245); // 2026-12-10 17:04:05 UTC

const std::string family = "👨‍👩‍👧‍👦";

std::string repeated(const std::string &piece, int times) {
    std::string text;
    for (int time = 0; time < times; ++time) {
        text += piece;
    }
    return text;
}

std::filesystem::perms currentUmask() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<std::filesystem::perms>(mask);
}

/// The names of the folder's entries that a user sees (hidden ones left out).
std::vector<std::string> visibleNames(const std::filesystem::path &folder) {
    std::vector<std::string> names;
    if (!std::filesystem::exists(folder)) {
        return names;
    }
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        if (name.front() != '.') {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(UnsavedTextFileName, IsTheFirstLineWithWordsAndTheTimeItWasKept) {
    struct Case {
        std::string text;
        std::string name;
    };
    const Case cases[] = {
        {"# Shopping list\nmilk\n", "Shopping list 2026-12-10 17.04.05.md"},
        {"\n  \n   plain words  \nmore", "plain words 2026-12-10 17.04.05.md"},
        {"", "Untitled 2026-12-10 17.04.05.md"},
        {"###\n", "Untitled 2026-12-10 17.04.05.md"},
        {"../etc/passwd\n", "etc passwd 2026-12-10 17.04.05.md"},
        {".hidden\tname", "hidden name 2026-12-10 17.04.05.md"},
        {"caf\xe9", "Untitled 2026-12-10 17.04.05.md"}, // not UTF-8: no title from it
        {std::string(60, 'w'), std::string(40, 'w') + " 2026-12-10 17.04.05.md"},
        {"Ünïcödé 🙂 title", "Ünïcödé 🙂 title 2026-12-10 17.04.05.md"},
        // Bounded in bytes, as names are, whole characters only: 25 bytes a family, 8 of the 11 fit.
        {repeated(family, 11) + "\nmore", repeated(family, 8) + " 2026-12-10 17.04.05.md"},
        {repeated("語", 60), repeated("語", 40) + " 2026-12-10 17.04.05.md"},
        {"e" + repeated("\u0301", 300), "Untitled 2026-12-10 17.04.05.md"}, // one character longer than a name
    };
    for (const Case &test : cases) {
        EXPECT_EQ(VeltoPageLibrary::unsavedTextFileName(test.text, keptAt), test.name) << test.text;
    }
}

// Whatever the first line, the text is kept under a name the file system takes, numbered when taken, and the
// number too fits.
TEST(UnsavedTextFiles, ATextWhoseFirstLineIsLongInBytesIsKept) {
    TemporaryFolder scratch;
    const std::filesystem::path folder = scratch / "Unsaved Text";
    const std::string text = repeated(family, 11) + "\nthe words\n";
    for (int copy = 1; copy <= 3; ++copy) {
        auto kept = VeltoPageLibrary::keepUnsavedText(defaultFileSystem(), folder, text, keptAt);
        EXPECT_EQ(testing::readWholeFile(kept.string()), text);
        EXPECT_LE(kept.filename().string().size(), 255u);
    }
    EXPECT_EQ(visibleNames(folder).size(), 3u);
}

// A kept file may be read by those who may read its page, and always by its owner; the folder only by its owner, so
// that nobody reads a private page's text before its file has the page's permissions.
TEST(UnsavedTextFiles, AKeptFileHasItsPagesReadersAndTheFolderIsPrivate) {
    struct Case {
        std::optional<std::filesystem::perms> page;
        std::filesystem::perms kept;
    };
    using std::filesystem::perms;
    const Case cases[] = {
        {perms(0600), perms(0600)},
        {perms(0640), perms(0640)},
        {perms(0664), perms(0664)},
        {perms(0444), perms(0644)}, // read-only: its owner may still change the kept copy
        {perms(0755), perms(0644)}, // never executable
        {std::nullopt, perms(0666) & ~currentUmask()},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.page ? static_cast<int>(*test.page) : -1);
        TemporaryFolder scratch;
        const std::filesystem::path folder = scratch / "Unsaved Text";
        auto kept = VeltoPageLibrary::keepUnsavedText(defaultFileSystem(), folder, "private words", keptAt, test.page);
        EXPECT_EQ(std::filesystem::status(kept).permissions(), test.kept);
        EXPECT_EQ(std::filesystem::status(folder).permissions(), perms::owner_all);
    }
}

TEST(UnsavedTextFiles, EachTextIsKeptWholeBesideFilesOfTheSameNameAndNamedOnce) {
    TemporaryFolder scratch;
    const std::filesystem::path folder = scratch / "Unsaved Text";
    scratch.writeFile("Unsaved Text/Notes 2026-12-10 17.04.05.md", "another program's file");
    FileSystem &fileSystem = defaultFileSystem();

    const std::string large(3 * 1024 * 1024 + 7, 'z');
    auto first = VeltoPageLibrary::keepUnsavedText(fileSystem, folder, "Notes\n" + large, keptAt);
    auto second = VeltoPageLibrary::keepUnsavedText(fileSystem, folder, "Notes\nsecond", keptAt);

    EXPECT_EQ(first.filename(), "Notes 2026-12-10 17.04.05 2.md");
    EXPECT_EQ(second.filename(), "Notes 2026-12-10 17.04.05 3.md");
    EXPECT_EQ(scratch.readFile("Unsaved Text/Notes 2026-12-10 17.04.05.md"), "another program's file");
    EXPECT_EQ(testing::readWholeFile(first.string()), "Notes\n" + large);
    EXPECT_EQ(testing::readWholeFile(second.string()), "Notes\nsecond");
    EXPECT_EQ(VeltoPageLibrary::unsavedTextFilesToName(fileSystem, folder), (std::vector{first, second}));

    VeltoPageLibrary::forgetUnsavedTextFilesNamed(fileSystem, folder);
    EXPECT_TRUE(VeltoPageLibrary::unsavedTextFilesToName(fileSystem, folder).empty());
    EXPECT_EQ(visibleNames(folder).size(), 3u) << "the files stay once named";
}

// A noted file that the user removed before the next launch is not named.
TEST(UnsavedTextFiles, AKeptFileThatIsGoneIsNotNamed) {
    TemporaryFolder scratch;
    const std::filesystem::path folder = scratch / "Unsaved Text";
    auto gone = VeltoPageLibrary::keepUnsavedText(defaultFileSystem(), folder, "gone", keptAt);
    auto kept = VeltoPageLibrary::keepUnsavedText(defaultFileSystem(), folder, "kept", keptAt);
    std::filesystem::remove(gone);
    EXPECT_EQ(VeltoPageLibrary::unsavedTextFilesToName(defaultFileSystem(), folder), std::vector{kept});
}

// A failure at any step of the write throws; what it leaves is either no file or the whole text, and a file named to
// the user always holds the whole text.
TEST(UnsavedTextFiles, AFailedWriteLeavesNoPartOfTheTextAndNamesOnlyWholeFiles) {
    const std::string text = "Kept words\n" + std::string(200'000, 'k');
    for (std::size_t step = 1;; ++step) {
        SCOPED_TRACE("failing step " + std::to_string(step));
        TemporaryFolder scratch;
        const std::filesystem::path folder = scratch / "Unsaved Text";
        FailingFileSystem fileSystem;
        fileSystem.failOperation(step, EIO);
        bool threw = false;
        try {
            VeltoPageLibrary::keepUnsavedText(fileSystem, folder, text, keptAt);
        } catch (const FileSystemError &) {
            threw = true;
        }
        EXPECT_EQ(threw, fileSystem.injectedFailure());
        for (const std::string &name : visibleNames(folder)) {
            EXPECT_EQ(testing::readWholeFile((folder / name).string()), text) << name;
        }
        for (const auto &named : VeltoPageLibrary::unsavedTextFilesToName(defaultFileSystem(), folder)) {
            EXPECT_EQ(testing::readWholeFile(named.string()), text);
        }
        if (!fileSystem.injectedFailure()) {
            EXPECT_EQ(VeltoPageLibrary::unsavedTextFilesToName(defaultFileSystem(), folder).size(), 1u);
            break;
        }
    }
}

// A folder that cannot be made (its place is taken by a file) fails the write with the system's reason.
TEST(UnsavedTextFiles, AFolderThatCannotBeMadeFailsTheWrite) {
    TemporaryFolder scratch;
    scratch.writeFile("Unsaved Text", "a file in the folder's place");
    EXPECT_THROW(VeltoPageLibrary::keepUnsavedText(defaultFileSystem(), scratch / "Unsaved Text", "words", keptAt),
                 FileSystemError);
    EXPECT_EQ(scratch.readFile("Unsaved Text"), "a file in the folder's place");
    // Without a home folder there is no data folder: nothing is written relative to the working folder.
    EXPECT_THROW(VeltoPageLibrary::keepUnsavedText(defaultFileSystem(), "", "words", keptAt), FileSystemError);
    EXPECT_TRUE(VeltoPageLibrary::unsavedTextFilesToName(defaultFileSystem(), "").empty());
}

// What a Velto killed while it kept or took back a text leaves hidden in the folder comes back at the next launch as
// a file the user finds, named with the kept files; a temporary cut off by the kill never replaces a whole kept file,
// and goes when that file holds all its lines.
/// The texts of the files the next launch names to the user, sorted.
std::vector<std::string> textsNamedAtLaunch(const std::filesystem::path &folder) {
    std::vector<std::string> named;
    for (const auto &file : VeltoPageLibrary::unsavedTextFilesToName(defaultFileSystem(), folder)) {
        named.push_back(testing::readWholeFile(file.string()));
    }
    std::sort(named.begin(), named.end());
    return named;
}

struct LeftBehindCase {
    const char *name;
    std::vector<std::pair<std::string, std::string>> files; // the folder's files before the launch, by name
    std::vector<std::string> visible;                       // the texts of the files a user sees afterwards
    std::vector<std::string> named;                         // the texts of the files named to the user
};

const std::string keptName = "Notes 2026-12-10 17.04.05.md";

// A write killed at its rename, a file killed while taken aside and a list of names left unwritten: see
// KilledWhileKeeping below.
const LeftBehindCase leftBehindCases[] = {
    {"ATornTemporaryOfTheKeptTextGoes",
     {{keptName, "Notes\nmilk\nbread\n"}, {"." + keptName + ".tmp-0123456789ab", "Notes\nmilk\nbr"}},
     {"Notes\nmilk\nbread\n"},
     {}},
    {"ATornTemporaryWithANewLineComesBesideTheKeptFile",
     {{keptName, "Notes\nmilk\n"}, {"." + keptName + ".tmp-0123456789ab", "Notes\nmilk\nbread\nbu"}},
     {"Notes\nmilk\n", "Notes\nmilk\nbread\nbu"},
     {"Notes\nmilk\nbread\nbu"}},
    {"ATextUnderTheShortFormComesUnderItsFirstLine",
     {{".velto.tmp-0123456789ab", "# Shopping\nmilk\n"}},
     {"# Shopping\nmilk\n"},
     {"# Shopping\nmilk\n"}},
};

void PrintTo(const LeftBehindCase &c, std::ostream *out) {
    *out << c.name;
}

class UnsavedTextLeftBehind : public ::testing::TestWithParam<LeftBehindCase> {};

TEST_P(UnsavedTextLeftBehind, ComesBackAsAFileTheLaunchNames) {
    const LeftBehindCase &c = GetParam();
    TemporaryFolder scratch;
    const std::filesystem::path folder = scratch / "Unsaved Text";
    for (const auto &[name, text] : c.files) {
        scratch.writeFile("Unsaved Text/" + name, text);
    }

    VeltoPageLibrary::restoreUnsavedTextLeftBehind(defaultFileSystem(), folder);

    std::vector<std::string> visible;
    for (const std::string &name : visibleNames(folder)) {
        visible.push_back(testing::readWholeFile((folder / name).string()));
    }
    std::sort(visible.begin(), visible.end());
    EXPECT_EQ(visible, c.visible);
    EXPECT_EQ(textsNamedAtLaunch(folder), c.named);
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name.front() != '.' || name == ".to-name") << name << " is left hidden";
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, UnsavedTextLeftBehind, ::testing::ValuesIn(leftBehindCases),
                         [](const ::testing::TestParamInfo<LeftBehindCase> &info) { return info.param.name; });

/// The real file system, except that the process is killed as a user kills Velto: just before its n-th rename, or as
/// it reads a file it took aside. Nothing after that runs, no clean-up included.
class KilledFileSystem : public PosixFileSystem {
public:
    explicit KilledFileSystem(int killingRename)
        : killingRename_(killingRename) {}

protected:
    void beforeOperation(FileOperation operation, const std::filesystem::path &path) override {
        bool takenAside = path.filename().string().find(".aside-") != std::string::npos;
        if ((operation == FileOperation::rename && ++renames_ == killingRename_) ||
            (operation == FileOperation::read && takenAside && killingRename_ == 0)) {
            ::kill(::getpid(), SIGKILL);
        }
    }

private:
    int killingRename_;
    int renames_ = 0;
};

struct KilledKeepCase {
    const char *name;
    std::string keptBefore; // the text of a kept file, named already; empty: none
    std::function<void(FileSystem &, const std::filesystem::path &folder, const std::filesystem::path &kept)> keep;
    int killingRename; // 0: killed as it reads the file it took aside
    std::vector<std::string> named;
};

const std::string olderText = "Notes\nmilk\n";
const std::string newerText = "Notes\nmilk\nbread\n";
const auto keepingTheNewerText = [](FileSystem &fileSystem, const std::filesystem::path &folder,
                                    const std::filesystem::path &) {
    VeltoPageLibrary::keepUnsavedText(fileSystem, folder, newerText, keptAt);
};

const KilledKeepCase killedKeepCases[] = {
    {"KeepingATextAsItsFileGoesIntoPlace", "", keepingTheNewerText, 1, {newerText}},
    {"KeepingATextAsItsNameIsNoted", "", keepingTheNewerText, 2, {newerText}},
    {"RewritingAKeptText",
     olderText,
     [](FileSystem &fileSystem, const std::filesystem::path &, const std::filesystem::path &kept) {
         fileSystem.replaceIfUnchanged(kept, newerText, olderText);
     },
     1,
     {olderText, newerText}},
    // Typed text usually ends without a line break: its last line is whole, though the kept file ends with one.
    {"RewritingAKeptTextToOneWhoseLastLineHasNoBreak",
     "Shopping\nmilk\n",
     [](FileSystem &fileSystem, const std::filesystem::path &, const std::filesystem::path &kept) {
         fileSystem.replaceIfUnchanged(kept, "Shopping\nmilk\neggs", "Shopping\nmilk\n");
     },
     1,
     {"Shopping\nmilk\n", "Shopping\nmilk\neggs"}},
    {"TakingBackAKeptText",
     olderText,
     [](FileSystem &fileSystem, const std::filesystem::path &, const std::filesystem::path &kept) {
         VeltoPageLibrary::removeIfHolding(kept, olderText, fileSystem);
     },
     0,
     {olderText}},
};

void PrintTo(const KilledKeepCase &c, std::ostream *out) {
    *out << c.name;
}

class KilledWhileKeeping : public ::testing::TestWithParam<KilledKeepCase> {};

TEST_P(KilledWhileKeeping, TheTextComesBackNamedAtTheNextLaunch) {
    const KilledKeepCase &c = GetParam();
    TemporaryFolder scratch;
    const std::filesystem::path folder = scratch / "Unsaved Text";
    std::filesystem::path kept;
    if (!c.keptBefore.empty()) {
        kept = VeltoPageLibrary::keepUnsavedText(defaultFileSystem(), folder, c.keptBefore, keptAt);
    }

    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        KilledFileSystem killed(c.killingRename);
        try {
            c.keep(killed, folder, kept);
        } catch (...) {
        }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the keep ended before it was killed";
    VeltoPageLibrary::restoreUnsavedTextLeftBehind(defaultFileSystem(), folder);

    EXPECT_EQ(textsNamedAtLaunch(folder), c.named);
}

INSTANTIATE_TEST_SUITE_P(Cases, KilledWhileKeeping, ::testing::ValuesIn(killedKeepCases),
                         [](const ::testing::TestParamInfo<KilledKeepCase> &info) { return info.param.name; });

} // namespace
} // namespace velto

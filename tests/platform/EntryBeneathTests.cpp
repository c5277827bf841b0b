// Names resolved beneath a folder without following links: where a name leads, which links are refused, and writes
// that stay inside the folder while another program moves a folder of it out and links it back.
#include "platform/EntryBeneath.h"

#include "platform/FileSystem.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velto {
namespace {

namespace fs = std::filesystem;
using testing::TemporaryFolder;

std::string fileBytes(const fs::path &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

/// A Pages folder holding keep.md and notes/b.md, and a folder "Outside" beside it holding outside.md.
struct Folders {
    Folders() {
        scratch.writeFile("Pages/keep.md", "keep\n");
        scratch.writeFile("Pages/notes/b.md", "b\n");
        scratch.writeFile("Outside/outside.md", "outside\n");
    }
    TemporaryFolder scratch;
    fs::path pages = scratch / "Pages";
    fs::path outside = scratch / "Outside";
};

/// Checks that `step` is refused with the error `code`.
void expectRefusedWith(int code, const std::function<void()> &step) {
    try {
        step();
        ADD_FAILURE() << "not refused";
    } catch (const FileSystemError &error) {
        EXPECT_EQ(error.code(), code) << error.what();
    }
}

/// A link made in the Pages folder; a target starting with "/" is taken from the scratch folder's root.
struct Link {
    const char *at;
    const char *to;
};

struct ResolutionCase {
    const char *name;
    std::vector<Link> links;
    const char *relativePath;
    const char *resolvesTo; // nothing: refused with `error`
    int error;
};

const ResolutionCase resolutionCases[] = {
    {"a file in a folder", {}, "notes/b.md", "notes/b.md", 0},
    {"a file not there yet", {}, "notes/new.md", "notes/new.md", 0},
    {"a link to a page of the folder", {{"a.md", "keep.md"}}, "a.md", "keep.md", 0},
    {"a link into a folder of it", {{"a.md", "notes/b.md"}}, "a.md", "notes/b.md", 0},
    {"a link out of its folder to a page", {{"notes/a.md", "../keep.md"}}, "notes/a.md", "keep.md", 0},
    {"an absolute link inside", {{"a.md", "/Pages/keep.md"}}, "a.md", "keep.md", 0},
    {"a chain of links", {{"b.md", "keep.md"}, {"a.md", "b.md"}}, "a.md", "keep.md", 0},
    {"a relative link out", {{"a.md", "../Outside/outside.md"}}, "a.md", nullptr, EXDEV},
    {"an absolute link out", {{"a.md", "/Outside/outside.md"}}, "a.md", nullptr, EXDEV},
    {"a name leading up", {}, "../Outside/outside.md", nullptr, EXDEV},
    {"a folder linked out", {{"linked", "/Outside"}}, "linked/outside.md", nullptr, ELOOP},
    {"a folder linked inside", {{"linked", "notes"}}, "linked/b.md", nullptr, ELOOP},
    {"a loop", {{"a.md", "b.md"}, {"b.md", "a.md"}}, "a.md", nullptr, ELOOP},
};

TEST(EntryBeneath, ResolvesANameWithoutFollowingALinkOutOrOnTheWay) {
    for (const auto &c : resolutionCases) {
        SCOPED_TRACE(c.name);
        Folders folders;
        for (const Link &link : c.links) {
            const bool absolute = link.to[0] == '/';
            fs::create_symlink(absolute ? folders.scratch / (link.to + 1) : fs::path(link.to), folders.pages / link.at);
        }
        if (c.resolvesTo != nullptr) {
            EntryBeneath entry = EntryBeneath::resolve(folders.pages, c.relativePath);
            EXPECT_EQ(entry.relativePath(), fs::path(c.resolvesTo));
            EXPECT_EQ(entry.entry().shown, folders.pages / c.resolvesTo);
            continue;
        }
        expectRefusedWith(c.error, [&] { EntryBeneath::resolve(folders.pages, c.relativePath); });
    }
}

// What a kernel without openat2 gets: the same refusals, one folder at a time.
TEST(EntryBeneath, OneFolderAtATimeRefusesALinkOnTheWayAsTheKernelDoes) {
    Folders folders;
    fs::create_directory_symlink("notes", folders.pages / "linked");
    fs::create_directory_symlink(folders.outside, folders.pages / "linkedOut");
    const struct {
        const char *relativeFolder;
        int error; // 0: opened
    } cases[] = {{"notes", 0}, {"linked", ELOOP}, {"linkedOut", ELOOP}, {"notes/missing", ENOENT}, {"notes/..", EXDEV}};
    posix::FileDescriptor root(::open(folders.pages.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_GE(root.get(), 0);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.relativeFolder);
        errno = 0;
        posix::FileDescriptor opened(posix::openFolderOneAtATime(root.get(), c.relativeFolder));
        if (c.error != 0) {
            EXPECT_LT(opened.get(), 0);
            EXPECT_EQ(errno, c.error);
            continue;
        }
        struct stat openedInfo {};
        struct stat expectedInfo {};
        ASSERT_EQ(::fstat(opened.get(), &openedInfo), 0);
        ASSERT_EQ(::stat((folders.pages / c.relativeFolder).c_str(), &expectedInfo), 0);
        EXPECT_EQ(openedInfo.st_ino, expectedInfo.st_ino);
    }
}

TEST(EntryBeneath, AFolderMovedOutAndLinkedBackIsNoLongerBeneath) {
    Folders folders;
    EntryBeneath entry = EntryBeneath::resolve(folders.pages, "notes/b.md");
    EXPECT_NO_THROW(entry.requireFolderStillBeneath());
    fs::rename(folders.pages / "notes", folders.outside / "notes");
    fs::create_directory_symlink(folders.outside / "notes", folders.pages / "notes");
    expectRefusedWith(EXDEV, [&] { entry.requireFolderStillBeneath(); });
}

/// The real file system, with the folder "notes" moved out of the Pages folder and linked back right before the
/// first step of the given kind: the creation of a temporary file in it, a rename into it, or its own sync.
class FolderLinkedOutFileSystem : public PosixFileSystem {
public:
    FolderLinkedOutFileSystem(const Folders &folders, FileOperation at)
        : folders_(folders)
        , at_(at) {}

protected:
    void beforeOperation(FileOperation operation, const fs::path &path) override {
        const fs::path notes = folders_.pages / "notes";
        // The folder's own sync comes after the rename; every other step concerns a file in the folder.
        const bool concernsTheFolder = operation == FileOperation::fsync ? path == notes : path.parent_path() == notes;
        if (moved_ || operation != at_ || !concernsTheFolder) {
            return;
        }
        moved_ = true;
        fs::rename(notes, folders_.outside / "notes");
        fs::create_directory_symlink(folders_.outside / "notes", notes);
    }

private:
    const Folders &folders_;
    FileOperation at_;
    bool moved_ = false;
};

struct SwapCase {
    const char *name;
    FileOperation at;
    bool nothingOutside; // the folder went before the new file went into place
};

const SwapCase swapCases[] = {
    {"at the temporary file's creation", FileOperation::write, true},
    {"at the rename", FileOperation::rename, true},
    {"at the folder's sync", FileOperation::fsync, false},
};

TEST(WriteBeneath, AFolderLinkedOutDuringTheWriteFailsItAndNothingGoesThroughTheLink) {
    for (const auto &c : swapCases) {
        for (bool replacing : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (replacing ? ", replacing what was read" : ", writing atomically"));
            Folders folders;
            FolderLinkedOutFileSystem fileSystem(folders, c.at);
            std::optional<fs::path> theirFile;
            EXPECT_THROW(replacing ? (void)fileSystem.replaceIfUnchangedBeneath(folders.pages, "notes/b.md", "new\n",
                                                                                "b\n", theirFile)
                                   : fileSystem.writeAtomicallyBeneath(folders.pages, "notes/b.md", "new\n"),
                         FileSystemError);
            ASSERT_TRUE(fs::is_symlink(folders.pages / "notes"));
            if (c.nothingOutside) {
                EXPECT_EQ(fileBytes(folders.outside / "notes/b.md"), "b\n");
            }
            int temporaries = 0;
            for (const auto &entry : fs::directory_iterator(folders.outside / "notes")) {
                temporaries += entry.path().filename().string().starts_with(".") ? 1 : 0;
            }
            EXPECT_EQ(temporaries, 0);
        }
    }
}

TEST(WriteBeneath, ALinkToAPageOfTheFolderStaysAndItsFileTakesTheText) {
    for (bool replacing : {false, true}) {
        SCOPED_TRACE(replacing ? "replacing what was read" : "writing atomically");
        Folders folders;
        fs::create_symlink("keep.md", folders.pages / "a.md");
        PosixFileSystem fileSystem;
        std::optional<fs::path> theirFile;
        if (replacing) {
            EXPECT_EQ(fileSystem.replaceIfUnchangedBeneath(folders.pages, "a.md", "new\n", "keep\n", theirFile),
                      ReplacementOutcome::replaced);
        } else {
            fileSystem.writeAtomicallyBeneath(folders.pages, "a.md", "new\n");
        }
        EXPECT_TRUE(fs::is_symlink(folders.pages / "a.md"));
        EXPECT_EQ(fileBytes(folders.pages / "keep.md"), "new\n");
    }
}

} // namespace
} // namespace velto

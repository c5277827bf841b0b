// Any page file name either is refused or leads to a path inside the Pages folder, also through the
// symbolic links of a folder that holds links inside, outside and to nowhere, some of them under names that
// are found for another Unicode spelling.
#include "library/folder/PageFileLocation.h"
#include "model/LibraryErrors.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Folder {
    fs::path base;
    fs::path root;

    Folder() {
        std::string pattern = (fs::temp_directory_path() / "velto-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        base = fs::canonical(pattern);
        root = base / "Pages";
        fs::create_directories(root / "Notes/Deep");
        fs::create_directories(base / "Outside");
        fs::create_directory_symlink(base / "Outside", root / "Escape");
        fs::create_directory_symlink("Notes", root / "Alias");
        fs::create_directory_symlink("../Outside/Later", root / "Dangling");
        fs::create_symlink("../Outside/x.md", root / "out.md");
        fs::create_symlink("Notes/in.md", root / "in.md");
        fs::create_symlink("loop.md", root / "loop.md");
        fs::create_directory_symlink("..", root / "Notes/Up");
        // Names in decomposed Unicode, found for their composed spelling.
        fs::create_symlink("../Outside/x.md", root / "cafe\xcc\x81.md");
        fs::create_directory_symlink(base / "Outside", root / "Re\xcc\x81sume\xcc\x81");
        fs::create_directories(root / "Notes/Nai\xcc\x88ve");
    }

    ~Folder() {
        std::error_code ignored;
        fs::remove_all(base, ignored);
    }
};

bool liesInside(const fs::path &path, const fs::path &root) {
    auto text = path.string();
    return text == root.string() || text.starts_with(root.string() + "/");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static Folder folder;
    std::string name(reinterpret_cast<const char *>(data), size);
    if (name.find('\0') != std::string::npos) {
        return 0;
    }
    try {
        auto url = VeltoPageLibrary::pageURL(name, folder.root);
        auto resolved = VeltoPageLibrary::resolvingAllLinks(url, velto::defaultFileSystem());
        if (!liesInside(url, folder.root) || !liesInside(resolved, folder.root)) {
            std::abort();
        }
    } catch (const velto::LibraryMetadataError &error) {
        if (error.kind() != velto::LibraryMetadataError::Kind::unsafePagePath) {
            std::abort();
        }
    }
    return 0;
}

#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace velto::testing {

namespace fs = std::filesystem;

TemporaryFolder::TemporaryFolder() {
    std::string pattern = (fs::temp_directory_path() / "velto-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::system_error(errno, std::generic_category(), "mkdtemp");
    }
    path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
    // Tests may leave read-only folders behind; make them writable so that everything can go.
    std::error_code ignored;
    for (auto it = fs::recursive_directory_iterator(path_, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
    }
    fs::remove_all(path_, ignored);
}

fs::path TemporaryFolder::writeFile(const fs::path &relativePath, std::string_view bytes) const {
    fs::path full = path_ / relativePath;
    fs::create_directories(full.parent_path());
    std::ofstream stream(full, std::ios::binary | std::ios::trunc);
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!stream) {
        throw std::runtime_error("cannot write " + full.string());
    }
    return full;
}

std::string TemporaryFolder::readFile(const fs::path &relativePath) const {
    std::ifstream stream(path_ / relativePath, std::ios::binary);
    if (!stream) {
        ADD_FAILURE() << "cannot read " << (path_ / relativePath);
        return {};
    }
    std::ostringstream bytes;
    bytes << stream.rdbuf();
    return bytes.str();
}

bool TemporaryFolder::exists(const fs::path &relativePath) const {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(path_ / relativePath, ignored));
}

fs::path TemporaryFolder::createFolder(const fs::path &relativePath) const {
    fs::path full = path_ / relativePath;
    fs::create_directories(full);
    return full;
}

} // namespace velto::testing

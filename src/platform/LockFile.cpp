#include "platform/LockFile.h"

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velto {

namespace {

int openRetryingInterrupts(const std::filesystem::path &path) {
    int descriptor;
    do {
        descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, S_IRUSR | S_IWUSR);
    } while (descriptor < 0 && errno == EINTR);
    return descriptor;
}

int flockRetryingInterrupts(int descriptor, int operation) {
    int result;
    do {
        result = ::flock(descriptor, operation);
    } while (result != 0 && errno == EINTR);
    return result;
}

} // namespace

LockFile::LockFile(std::filesystem::path path)
    : path_(std::move(path)) {
    descriptor_ = openRetryingInterrupts(path_);
    if (descriptor_ < 0) {
        throw LockFileOpenError(errno, path_, "open");
    }
    struct stat status {};
    if (::fstat(descriptor_, &status) != 0) {
        int code = errno;
        release();
        throw LockFileOpenError(code, path_, "fstat");
    }
    isRegularFile_ = S_ISREG(status.st_mode);
    device_ = status.st_dev;
    inode_ = status.st_ino;
}

LockFile::LockFile(LockFile &&other) noexcept
    : path_(std::move(other.path_))
    , descriptor_(std::exchange(other.descriptor_, -1))
    , isRegularFile_(other.isRegularFile_)
    , device_(other.device_)
    , inode_(other.inode_) {}

LockFile &LockFile::operator=(LockFile &&other) noexcept {
    if (this != &other) {
        release();
        path_ = std::move(other.path_);
        descriptor_ = std::exchange(other.descriptor_, -1);
        isRegularFile_ = other.isRegularFile_;
        device_ = other.device_;
        inode_ = other.inode_;
    }
    return *this;
}

LockFile::~LockFile() {
    release();
}

bool LockFile::tryLock(LockFileMode mode) {
    int operation = mode == LockFileMode::shared ? LOCK_SH : LOCK_EX;
    if (flockRetryingInterrupts(descriptor_, operation | LOCK_NB) == 0) {
        return true;
    }
    if (errno == EWOULDBLOCK) {
        return false;
    }
    throw FileSystemError(errno, path_, "flock");
}

void LockFile::release() noexcept {
    if (descriptor_ >= 0) {
        ::flock(descriptor_, LOCK_UN);
        ::close(descriptor_);
        descriptor_ = -1;
    }
}

} // namespace velto

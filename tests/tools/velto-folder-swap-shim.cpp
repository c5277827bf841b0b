// Preloaded into the library driver (LD_PRELOAD), it makes the moment a file is created the moment a folder of pages
// is moved out of the Pages folder and linked back, as a sync client or a user in a shell may do at any moment:
// at the first creation of a new file (O_CREAT with O_EXCL) whose name contains VELTO_SWAP_AT_NAME, the folder
// VELTO_SWAP_FOLDER is renamed to VELTO_SWAP_OUTSIDE and a symbolic link to it is put in its place; then the creation
// goes on as the program asked. The tests of writes that must never leave the Pages folder use it.

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<bool> swapped{false};

void swapFolderWhenCreating(const char *path, int flags) {
    const char *name = std::getenv("VELTO_SWAP_AT_NAME");
    const char *folder = std::getenv("VELTO_SWAP_FOLDER");
    const char *outside = std::getenv("VELTO_SWAP_OUTSIDE");
    if (name == nullptr || folder == nullptr || outside == nullptr || path == nullptr) {
        return;
    }
    if ((flags & O_CREAT) == 0 || (flags & O_EXCL) == 0 || std::strstr(path, name) == nullptr) {
        return;
    }
    if (swapped.exchange(true)) {
        return;
    }
    if (::rename(folder, outside) != 0 || ::symlink(outside, folder) != 0) {
        std::perror("velto-folder-swap-shim");
    } else {
        std::fprintf(stderr, "velto-folder-swap-shim: linked %s out to %s\n", folder, outside);
    }
}

mode_t modeArgument(int flags, va_list arguments) {
    return (flags & (O_CREAT | O_TMPFILE)) != 0 ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
}

template <typename Function> Function next(const char *name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" {

int open(const char *path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    swapFolderWhenCreating(path, flags);
    static auto real = next<int (*)(const char *, int, ...)>("open");
    return real(path, flags, mode);
}

int open64(const char *path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    swapFolderWhenCreating(path, flags);
    static auto real = next<int (*)(const char *, int, ...)>("open64");
    return real(path, flags, mode);
}

int openat(int folder, const char *path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    swapFolderWhenCreating(path, flags);
    static auto real = next<int (*)(int, const char *, int, ...)>("openat");
    return real(folder, path, flags, mode);
}

int openat64(int folder, const char *path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    swapFolderWhenCreating(path, flags);
    static auto real = next<int (*)(int, const char *, int, ...)>("openat64");
    return real(folder, path, flags, mode);
}
}

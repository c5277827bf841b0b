#pragma once

#include <filesystem>

namespace velto {

/// How a newly chosen Pages folder becomes the open library.
enum class VeltoFolderConnectionOperation {
    copyCurrentLibrary,        // the open library is copied into the (empty) folder
    useSelectedFolderContents, // the folder's pages are taken as they are; an empty folder starts a new library
    connectExistingLibrary,    // the folder already holds a library
};

/// The shell's choice of a new Pages folder. The shell keeps the folder's ownership mode among its
/// preferences; the store needs only whether the library owns the whole folder, since then every Markdown
/// file already in it becomes a page after a copy.
struct VeltoFolderConnectionSelection {
    std::filesystem::path destinationURL;
    bool ownsWholeFolder = false; // the ownership mode "wholeFolder"
    VeltoFolderConnectionOperation operation = VeltoFolderConnectionOperation::copyCurrentLibrary;
};

} // namespace velto

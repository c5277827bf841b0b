#include "library/load/LoadFailures.h"

#include "library/folder/LibraryFolder.h"
#include "model/LibraryErrors.h"
#include "platform/FileSystem.h"
#include "platform/JsonCoding.h"

#include <cerrno>

namespace VeltoPageLibrary {

namespace {

// The JSON decoders' own texts name keys and offsets: useful in a log, not to a user.
constexpr const char *wrongFormatDescription = "The data couldn’t be read because it isn’t in the correct format.";

} // namespace

std::string localizedDescription(const std::exception &error) {
    if (dynamic_cast<const MetadataFileError *>(&error) != nullptr) {
        return error.what(); // names the file
    }
    if (const auto *fileSystemError = dynamic_cast<const velto::FileSystemError *>(&error)) {
        if (fileSystemError->code() == ENOSPC || fileSystemError->code() == EDQUOT) {
            // Which file could not be written tells the user which device is full.
            return "Velto couldn’t write “" + fileSystemError->path().filename().string() +
                   "”: " + fileSystemError->localizedDescription();
        }
        return fileSystemError->localizedDescription();
    }
    if (dynamic_cast<const velto::JsonDecodingError *>(&error) != nullptr ||
        dynamic_cast<const nlohmann::json::exception *>(&error) != nullptr) {
        return wrongFormatDescription;
    }
    return error.what();
}

std::string localizedDescription(const std::exception_ptr &error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &thrown) {
        return localizedDescription(thrown);
    } catch (...) {
        return "An unknown error occurred.";
    }
}

velto::VeltoStoreRecoveryIssue::Kind manifestFailureKind(const std::exception_ptr &error) {
    try {
        std::rethrow_exception(error);
    } catch (const velto::ManifestReadError &) {
        return velto::VeltoStoreRecoveryIssue::Kind::unreadable;
    } catch (...) {
        return velto::VeltoStoreRecoveryIssue::Kind::corrupt;
    }
}

bool isPassingCondition(const std::exception_ptr &error) {
    try {
        std::rethrow_exception(error);
    } catch (const velto::FileSystemError &fileSystemError) {
        int code = fileSystemError.code();
        return code == ENOSPC || code == EDQUOT || code == EWOULDBLOCK;
    } catch (...) {
        return false;
    }
}

velto::VeltoStoreRecoveryIssue::Kind metadataFailureKind(const std::exception_ptr &error) {
    if (isPassingCondition(error)) {
        return velto::VeltoStoreRecoveryIssue::Kind::temporarilyUnavailable;
    }
    return velto::VeltoStoreRecoveryIssue::Kind::corrupt;
}

velto::VeltoStoreRecoveryIssue::Kind loadingFailureKind(const std::exception_ptr &error) {
    if (isPassingCondition(error)) {
        return velto::VeltoStoreRecoveryIssue::Kind::temporarilyUnavailable;
    }
    try {
        std::rethrow_exception(error);
    } catch (const velto::PageFileError &pageFileError) {
        if (pageFileError.kind() == velto::PageFileError::Kind::temporarilyUnavailable) {
            return velto::VeltoStoreRecoveryIssue::Kind::temporarilyUnavailable;
        }
        return velto::VeltoStoreRecoveryIssue::Kind::unreadable;
    } catch (...) {
        return velto::VeltoStoreRecoveryIssue::Kind::corrupt;
    }
}

velto::VeltoStoreRecoveryIssue::Remedy remedyFor(const std::exception_ptr &error) {
    try {
        std::rethrow_exception(error);
    } catch (const velto::UnsupportedManifestSchemaError &) {
        return velto::VeltoStoreRecoveryIssue::Remedy::updateVelto;
    } catch (const velto::UnsupportedDeletionIndexSchemaError &) {
        return velto::VeltoStoreRecoveryIssue::Remedy::updateVelto;
    } catch (...) {
        return velto::VeltoStoreRecoveryIssue::Remedy::rewriteLibrary;
    }
}

velto::VeltoStoreRecoveryIssue recoveryIssue(velto::VeltoStoreRecoveryIssue::Kind kind,
                                             const std::exception_ptr &error) {
    return {kind, localizedDescription(error), remedyFor(error)};
}

} // namespace VeltoPageLibrary

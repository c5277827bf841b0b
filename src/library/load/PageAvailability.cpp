#include "library/load/PageAvailability.h"

namespace VeltoPageLibrary {

VeltoPageFileAvailability fileAvailability(const std::filesystem::path &fileURL, velto::FileSystem &fileManager) {
    if (!fileManager.fileExists(fileURL)) {
        return VeltoPageFileAvailability::missing;
    }
    return VeltoPageFileAvailability::available;
}

const AvailabilityOperation &productionAvailability() {
    static const AvailabilityOperation operation = [](const std::filesystem::path &fileURL,
                                                      velto::FileSystem &fileManager) {
        return fileAvailability(fileURL, fileManager);
    };
    return operation;
}

} // namespace VeltoPageLibrary

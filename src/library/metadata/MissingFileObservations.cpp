#include "library/metadata/MissingFileObservations.h"

#include "library/folder/LibraryFolder.h"

namespace VeltoPageLibrary {

namespace {

std::filesystem::path observationFile(const velto::Uuid &pageID, const std::filesystem::path &folderURL) {
    return missingFilesDirectory(folderURL) / (pageID.lowercaseText() + ".json");
}

} // namespace

std::filesystem::path missingFilesDirectory(const std::filesystem::path &folderURL) {
    return metadataDirectory(folderURL) / "missing-files";
}

velto::VeltoMissingFileObservation decodeMissingFileObservation(const std::string &text) {
    return velto::VeltoMissingFileObservation::decode(text);
}

std::map<velto::Uuid, velto::VeltoMissingFileObservation>
loadMissingFileObservations(const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    std::map<velto::Uuid, velto::VeltoMissingFileObservation> observations;
    for (const auto &file : jsonFiles(missingFilesDirectory(folderURL), fileManager)) {
        auto observation = decodeMetadataFile(file, fileManager, decodeMissingFileObservation);
        auto [existing, inserted] = observations.try_emplace(observation.pageID, observation);
        if (!inserted && observation.firstObservedAt < existing->second.firstObservedAt) {
            existing->second = observation;
        }
    }
    return observations;
}

void persistMissingFileObservations(const std::vector<velto::VeltoMissingFileObservation> &observations,
                                    const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    if (observations.empty()) {
        return;
    }
    fileManager.createDirectories(missingFilesDirectory(folderURL));
    for (const auto &observation : observations) {
        writeAtomicallyIfChanged(observationFile(observation.pageID, folderURL), observation.encode(), fileManager);
    }
}

void removeMissingFileObservation(const velto::Uuid &pageID, const std::filesystem::path &folderURL,
                                  velto::FileSystem &fileManager) noexcept {
    try {
        fileManager.removeItem(observationFile(pageID, folderURL));
    } catch (...) {
        // Nothing to undo: an observation that stays is dropped or replaced at the next load.
    }
}

} // namespace VeltoPageLibrary

#pragma once

#include "library/copy/FolderConnectionAssessment.h"
#include "preferences/FolderOwnershipMode.h"
#include "store/FolderConnectionSelection.h"

#include <filesystem>
#include <optional>

namespace velto {

/// How a folder chosen as the Pages folder is connected: the folder, who owns it, and what happens to pages.
struct VeltoFolderConnectionChoice {
    std::filesystem::path destinationURL;
    VeltoFolderOwnershipMode ownershipMode = VeltoFolderOwnershipMode::managedFolder;
    VeltoFolderConnectionOperation operation = VeltoFolderConnectionOperation::copyCurrentLibrary;

    /// What the store needs of it.
    VeltoFolderConnectionSelection storeSelection() const {
        return {destinationURL, ownershipMode == VeltoFolderOwnershipMode::wholeFolder, operation};
    }
    friend bool operator==(const VeltoFolderConnectionChoice &, const VeltoFolderConnectionChoice &) = default;
};

/// Connect a folder as described, or leave the Pages folder as it is.
struct VeltoFolderConnectionDecision {
    std::optional<VeltoFolderConnectionChoice> selection; // nothing = cancel

    static VeltoFolderConnectionDecision connect(VeltoFolderConnectionChoice choice) { return {std::move(choice)}; }
    static VeltoFolderConnectionDecision cancel() { return {}; }
    bool isCancel() const { return !selection.has_value(); }
    friend bool operator==(const VeltoFolderConnectionDecision &, const VeltoFolderConnectionDecision &) = default;
};

/// The user's answer once a destination is known: take the Markdown already there, or copy the current pages.
enum class VeltoFolderContentChoice { useSelectedFolder, copyCurrentPages, cancel };

/// The user's answer for a folder of Markdown files that belong to no library.
enum class VeltoFolderConnectionPromptChoice { useManagedSubfolder, useEntireFolder, cancel };

/// The two pure rules that turn an assessment (and the user's answer) into a decision.
namespace VeltoFolderConnectionDecisionBuilder {

/// The name of the folder Velto manages inside a chosen folder of other files.
inline constexpr char managedSubfolderName[] = "Velto";

/// A library is connected as it is, an empty folder takes a copy of the current library; a folder of other
/// Markdown files gives nothing (the user is asked).
std::optional<VeltoFolderConnectionDecision> directDecision(const VeltoFolderConnectionAssessment &assessment);

/// The decision after the user answered the question about a folder of other Markdown files.
VeltoFolderConnectionDecision
decision(const VeltoFolderConnectionAssessment &assessment, VeltoFolderConnectionPromptChoice choice,
         const std::optional<VeltoFolderConnectionAssessment> &managedSubfolderAssessment);

/// A copy decision after the content question: the folder's own Markdown, the copy, or nothing.
VeltoFolderConnectionDecision applyingContentChoice(const VeltoFolderConnectionDecision &decision,
                                                    VeltoFolderContentChoice choice);

} // namespace VeltoFolderConnectionDecisionBuilder

} // namespace velto

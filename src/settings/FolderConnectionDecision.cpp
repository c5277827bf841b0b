#include "settings/FolderConnectionDecision.h"

namespace velto::VeltoFolderConnectionDecisionBuilder {

namespace {

using Operation = VeltoFolderConnectionOperation;
using Mode = VeltoFolderOwnershipMode;

VeltoFolderConnectionDecision connecting(const std::filesystem::path &folder, Mode mode, Operation operation) {
    return VeltoFolderConnectionDecision::connect({folder, mode, operation});
}

} // namespace

std::optional<VeltoFolderConnectionDecision> directDecision(const VeltoFolderConnectionAssessment &assessment) {
    switch (assessment.kind) {
    case VeltoFolderConnectionKind::existingLibrary:
        return connecting(assessment.selectedFolderURL, Mode::wholeFolder, Operation::connectExistingLibrary);
    case VeltoFolderConnectionKind::empty:
        return connecting(assessment.selectedFolderURL, Mode::managedFolder, Operation::copyCurrentLibrary);
    case VeltoFolderConnectionKind::unrelatedMarkdown:
        return std::nullopt;
    }
    return std::nullopt;
}

VeltoFolderConnectionDecision
decision(const VeltoFolderConnectionAssessment &assessment, VeltoFolderConnectionPromptChoice choice,
         const std::optional<VeltoFolderConnectionAssessment> &managedSubfolderAssessment) {
    switch (choice) {
    case VeltoFolderConnectionPromptChoice::useManagedSubfolder: {
        std::filesystem::path subfolder = assessment.selectedFolderURL / managedSubfolderName;
        bool holdsLibrary = managedSubfolderAssessment &&
                            managedSubfolderAssessment->kind == VeltoFolderConnectionKind::existingLibrary;
        return connecting(subfolder, Mode::managedFolder,
                          holdsLibrary ? Operation::connectExistingLibrary : Operation::copyCurrentLibrary);
    }
    case VeltoFolderConnectionPromptChoice::useEntireFolder:
        return connecting(assessment.selectedFolderURL, Mode::wholeFolder,
                          assessment.kind == VeltoFolderConnectionKind::existingLibrary
                              ? Operation::connectExistingLibrary
                              : Operation::copyCurrentLibrary);
    case VeltoFolderConnectionPromptChoice::cancel:
        return VeltoFolderConnectionDecision::cancel();
    }
    return VeltoFolderConnectionDecision::cancel();
}

VeltoFolderConnectionDecision applyingContentChoice(const VeltoFolderConnectionDecision &decision,
                                                    VeltoFolderContentChoice choice) {
    // A decision already cancelled has no selection to change.
    if (decision.isCancel()) {
        return decision;
    }
    switch (choice) {
    case VeltoFolderContentChoice::useSelectedFolder: {
        VeltoFolderConnectionChoice selection = *decision.selection;
        selection.operation = Operation::useSelectedFolderContents;
        return VeltoFolderConnectionDecision::connect(selection);
    }
    case VeltoFolderContentChoice::copyCurrentPages:
        return decision;
    case VeltoFolderContentChoice::cancel:
        return VeltoFolderConnectionDecision::cancel();
    }
    return VeltoFolderConnectionDecision::cancel();
}

} // namespace velto::VeltoFolderConnectionDecisionBuilder

#include "settings/FolderConnectionDecision.h"

#include <gtest/gtest.h>

namespace velto::testing {
namespace {

using Operation = VeltoFolderConnectionOperation;
using Mode = VeltoFolderOwnershipMode;
using Content = VeltoFolderContentChoice;

TEST(FolderConnectionDecision, TheContentChoiceChangesOnlyTheOperationAndACancelledDecisionStaysCancelled) {
    const auto copying =
        VeltoFolderConnectionDecision::connect({"/home/u/Notes", Mode::managedFolder, Operation::copyCurrentLibrary});
    const auto usingContents = VeltoFolderConnectionDecision::connect(
        {"/home/u/Notes", Mode::managedFolder, Operation::useSelectedFolderContents});
    const auto cancel = VeltoFolderConnectionDecision::cancel();
    struct Case {
        VeltoFolderConnectionDecision decision;
        Content choice;
        VeltoFolderConnectionDecision expected;
    };
    for (const Case &example : std::initializer_list<Case>{
             {copying, Content::useSelectedFolder, usingContents},
             {copying, Content::copyCurrentPages, copying},
             {copying, Content::cancel, cancel},
             // A decision cancelled before the question has no selection; no answer brings one back.
             {cancel, Content::useSelectedFolder, cancel},
             {cancel, Content::copyCurrentPages, cancel},
             {cancel, Content::cancel, cancel},
         }) {
        EXPECT_EQ(VeltoFolderConnectionDecisionBuilder::applyingContentChoice(example.decision, example.choice),
                  example.expected)
            << static_cast<int>(example.choice);
    }
}

} // namespace
} // namespace velto::testing

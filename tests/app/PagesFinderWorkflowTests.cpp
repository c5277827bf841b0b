// Showing the current page and the Pages folder in the file manager: what was typed is saved first, and a
// save that fails is reported instead of showing anything.
#include "AppTestSupport.h"
#include "app/shell/PagesFinderWorkflow.h"
#include "platform/Clock.h"
#include "store/Store.h"
#include "support/ChildProcess.h"
#include "support/TemporaryFolder.h"
#include "support/async/TaskCompletion.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace velto {
namespace {

using namespace std::chrono_literals;
using testing::finish;

std::string contents(const std::filesystem::path &file) {
    std::ifstream stream(file);
    std::stringstream text;
    text << stream.rdbuf();
    return text.str();
}

class PagesFinderWorkflowTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::widgetApplication();
        store = finish(VeltoStore::loadForApplication(folder / "Pages", 100, 5'242'880));
        ASSERT_NE(store, nullptr);
        PagesFinderWorkflow::Operations operations;
        operations.openFolder = [this](std::filesystem::path opened) { log.push_back("open " + opened.string()); };
        operations.revealFile = [this](std::filesystem::path file) {
            log.push_back("reveal " + file.filename().string() + " holding " + contents(file));
        };
        operations.presentFailure = [this](QString title, std::string) {
            log.push_back("alert " + title.toStdString());
        };
        workflow = std::make_unique<PagesFinderWorkflow>(
            *store, [this] { store->setText(typed, systemClock().now()); }, std::move(operations));
    }

    testing::TemporaryFolder folder;
    std::unique_ptr<VeltoStore> store;
    std::unique_ptr<PagesFinderWorkflow> workflow;
    std::string typed = "just typed\n";
    std::vector<std::string> log;
};

TEST_F(PagesFinderWorkflowTest, TheCurrentPageIsShownOnceItsFileHoldsWhatWasTyped) {
    finish(workflow->revealCurrentPage());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(log[0].starts_with("reveal ")) << log[0];
    EXPECT_TRUE(log[0].ends_with("just typed\n")) << log[0];
}

TEST_F(PagesFinderWorkflowTest, AnEmptyPageHasNoFileToShowSoThePagesFolderOpens) {
    typed.clear();
    finish(workflow->revealCurrentPage());
    EXPECT_EQ(log, (std::vector<std::string>{"open " + (folder / "Pages").string()}));
}

TEST_F(PagesFinderWorkflowTest, ThePagesFolderIsOpenedAfterSaving) {
    finish(workflow->openPagesFolder());
    EXPECT_EQ(log, (std::vector<std::string>{"open " + (folder / "Pages").string()}));
}

TEST_F(PagesFinderWorkflowTest, ASaveThatFailsIsReportedAndNothingIsShown) {
    // The folder is gone and a file has its name: no save can succeed, not even for root.
    std::filesystem::remove_all(folder / "Pages");
    { std::ofstream(folder / "Pages") << "not a folder"; }
    finish(workflow->revealCurrentPage());
    finish(workflow->openPagesFolder());
    EXPECT_EQ(log, (std::vector<std::string>{"alert Velto Couldn’t Show the Current Page",
                                             "alert Velto Couldn’t Open the Pages Folder"}));
}

} // namespace
} // namespace velto

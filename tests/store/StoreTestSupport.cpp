#include "StoreTestSupport.h"

#include <QtCore/QCoreApplication>
#include <gtest/gtest.h>

namespace velto::testing {
namespace {

/// Every test of the store runs with a QCoreApplication, made once for the whole executable.
class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (QCoreApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "velto_store_tests";
            static char *argv[] = {name, nullptr};
            application_ = new QCoreApplication(argc, argv);
        }
    }

private:
    QCoreApplication *application_ = nullptr;
};

const auto *const registeredEnvironment = ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

} // namespace
} // namespace velto::testing

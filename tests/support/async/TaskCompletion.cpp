#include "support/async/TaskCompletion.h"

namespace velto::testing {

std::string exceptionText(const std::exception_ptr &error) {
    if (!error) {
        return {};
    }
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &caught) {
        return caught.what();
    } catch (...) {
        return "unknown error";
    }
}

} // namespace velto::testing

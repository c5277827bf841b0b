#include "app/lifecycle/ApplicationVersion.h"

namespace velto {

namespace {

std::optional<std::string> trimmedOrAbsent(const std::optional<std::string> &value) {
    if (!value) {
        return std::nullopt;
    }
    const char *blanks = " \t\r\n\v\f";
    auto first = value->find_first_not_of(blanks);
    if (first == std::string::npos) {
        return std::nullopt;
    }
    auto last = value->find_last_not_of(blanks);
    return value->substr(first, last - first + 1);
}

} // namespace

ApplicationVersion::ApplicationVersion(std::optional<std::string> marketing, std::optional<std::string> build)
    : marketingVersion(trimmedOrAbsent(marketing))
    , buildNumber(trimmedOrAbsent(build)) {}

ApplicationVersion::ApplicationVersion(const applicationBundle::Bundle &bundle)
    : ApplicationVersion(bundle.value("CFBundleShortVersionString"), bundle.value("CFBundleVersion")) {}

const ApplicationVersion &ApplicationVersion::current() {
    static const ApplicationVersion version(applicationBundle::current());
    return version;
}

std::string ApplicationVersion::displayDescription() const {
    if (marketingVersion && buildNumber) {
        return "Version " + *marketingVersion + " (" + *buildNumber + ")";
    }
    if (marketingVersion) {
        return "Version " + *marketingVersion;
    }
    if (buildNumber) {
        return "Build " + *buildNumber;
    }
    return "Development build";
}

std::string ApplicationVersion::feedbackDescription() const {
    if (marketingVersion && buildNumber) {
        return "Velto " + *marketingVersion + " (" + *buildNumber + ")";
    }
    if (marketingVersion) {
        return "Velto " + *marketingVersion;
    }
    if (buildNumber) {
        return "Velto build " + *buildNumber;
    }
    return "Velto development build";
}

} // namespace velto

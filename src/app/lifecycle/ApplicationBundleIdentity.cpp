#include "app/lifecycle/ApplicationBundleIdentity.h"

namespace velto {

ApplicationBundleIdentity::ApplicationBundleIdentity(const applicationBundle::Bundle &bundle)
    : bundleURL(bundle.folder)
    , packageType(bundle.value("CFBundlePackageType")) {}

ApplicationBundleIdentity::ApplicationBundleIdentity(std::filesystem::path url, std::optional<std::string> type)
    : bundleURL(std::move(url))
    , packageType(std::move(type)) {}

const ApplicationBundleIdentity &ApplicationBundleIdentity::current() {
    static const ApplicationBundleIdentity identity(applicationBundle::current());
    return identity;
}

bool ApplicationBundleIdentity::isApplicationBundle() const {
    return bundleURL.extension() == ".app" && packageType == "APPL";
}

} // namespace velto

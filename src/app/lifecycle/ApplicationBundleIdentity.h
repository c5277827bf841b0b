#pragma once

#include "platform/ApplicationBundle.h"

#include <filesystem>
#include <optional>
#include <string>

namespace velto {

/// The application folder the process runs from and the package type its "Info.ini" gives.
struct ApplicationBundleIdentity {
    std::filesystem::path bundleURL;
    std::optional<std::string> packageType;

    explicit ApplicationBundleIdentity(const applicationBundle::Bundle &bundle);
    ApplicationBundleIdentity(std::filesystem::path bundleURL, std::optional<std::string> packageType);

    /// This process's bundle, read once.
    static const ApplicationBundleIdentity &current();

    /// A bundle whose folder name ends in ".app" (letter case counts) and whose package type is "APPL".
    bool isApplicationBundle() const;

    friend bool operator==(const ApplicationBundleIdentity &, const ApplicationBundleIdentity &) = default;
};

/// What the entry point writes, followed by a line feed, when the process does not run from its bundle.
inline constexpr char notInBundleMessage[] = "Velto must run from its Velto.app folder. Launch it with scripts/run.sh";

} // namespace velto

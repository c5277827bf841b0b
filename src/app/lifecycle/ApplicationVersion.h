#pragma once

#include "platform/ApplicationBundle.h"

#include <optional>
#include <string>

namespace velto {

/// The version and build the bundle's "Info.ini" gives, worded for people and for feedback messages.
struct ApplicationVersion {
    std::optional<std::string> marketingVersion;
    std::optional<std::string> buildNumber;

    /// Each value trimmed of white space; one that is empty afterwards is absent.
    ApplicationVersion(std::optional<std::string> marketingVersion, std::optional<std::string> buildNumber);
    /// From "CFBundleShortVersionString" and "CFBundleVersion".
    explicit ApplicationVersion(const applicationBundle::Bundle &bundle);
    static const ApplicationVersion &current();

    /// "Version 1.0 (57)", "Version 1.0", "Build 57" or "Development build".
    std::string displayDescription() const;
    /// "Velto 1.0 (57)", "Velto 1.0", "Velto build 57" or "Velto development build".
    std::string feedbackDescription() const;

    friend bool operator==(const ApplicationVersion &, const ApplicationVersion &) = default;
};

} // namespace velto

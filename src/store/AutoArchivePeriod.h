#pragma once

#include <chrono>
#include <optional>

namespace velto {

/// How long an active page may stay unedited before automatic archiving takes it; no period: never.
///
/// The store sits below the preferences, so the application turns its stored choice into this value:
/// one day, one week, one month or never.
struct VeltoAutoArchivePeriod {
    std::optional<std::chrono::seconds> period;

    static VeltoAutoArchivePeriod oneDay() { return {std::chrono::seconds(86'400)}; }
    static VeltoAutoArchivePeriod oneWeek() { return {std::chrono::seconds(604'800)}; }
    static VeltoAutoArchivePeriod oneMonth() { return {std::chrono::seconds(2'592'000)}; }
    static VeltoAutoArchivePeriod never() { return {std::nullopt}; }

    friend bool operator==(const VeltoAutoArchivePeriod &, const VeltoAutoArchivePeriod &) = default;
};

} // namespace velto

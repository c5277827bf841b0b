#pragma once

#include "model/StoreLoadState.h"

#include <exception>
#include <string>

// How a load turns the error that stopped it into the recovery issue that the store shows. A load never
// throws; every failure reaches the user as one sentence.
namespace VeltoPageLibrary {

/// The sentence shown to the user for an error: the library's own errors say what they are; a file-system
/// error gives the system's text ("Permission denied"); metadata that is not JSON of the expected shape gives
/// the usual sentence for data in the wrong format.
std::string localizedDescription(const std::exception &error);

/// The same for whatever was thrown, also something that is not a std::exception.
std::string localizedDescription(const std::exception_ptr &error);

/// A manifest that exists but cannot be read is `unreadable`; one that cannot be decoded is `corrupt`.
velto::VeltoStoreRecoveryIssue::Kind manifestFailureKind(const std::exception_ptr &error);

/// Whether the error is a condition that passes without anything being repaired: a full device or quota, a
/// library lock that another process holds. Such a load failure is `temporarilyUnavailable`, never damage.
bool isPassingCondition(const std::exception_ptr &error);

/// While the journals and deletion records are read and tidied: a passing condition is
/// `temporarilyUnavailable`, anything else `corrupt`.
velto::VeltoStoreRecoveryIssue::Kind metadataFailureKind(const std::exception_ptr &error);

/// While pages are reconciled and loaded: a page file missing within its grace period, or a passing condition,
/// is `temporarilyUnavailable`, a page file missing or unreadable is `unreadable`, anything else `corrupt`.
velto::VeltoStoreRecoveryIssue::Kind loadingFailureKind(const std::exception_ptr &error);

/// What can mend a load that failed with the error: a newer library's format takes a newer Velto; anything
/// else may be rewritten from what Velto holds.
velto::VeltoStoreRecoveryIssue::Remedy remedyFor(const std::exception_ptr &error);

/// The issue of the given kind carrying the error's sentence and its remedy.
velto::VeltoStoreRecoveryIssue recoveryIssue(velto::VeltoStoreRecoveryIssue::Kind kind,
                                             const std::exception_ptr &error);

} // namespace VeltoPageLibrary

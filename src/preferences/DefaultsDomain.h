#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QSettings>
#include <QtCore/QString>
#include <QtCore/QVariant>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>

namespace velto {

/// The application's user-defaults domain: a settings file in the user's configuration folder
/// (~/.config/Velto/Velto.json) plus defaults registered in memory, which apply to keys the user has not
/// set and are never written to the file. The file keeps each value's type, so a number or a Boolean is
/// told apart from text when read back. Safe to use from several threads.
class DefaultsDomain {
public:
    /// The domain kept in the given file (a temporary file in tests). A file that cannot be parsed is copied
    /// to "<file>.damaged" and read as empty.
    explicit DefaultsDomain(const QString &filePath);

    /// ~/.config/Velto/Velto.json, following XDG_CONFIG_HOME.
    static QString standardFilePath();

    /// Adds values to the registration layer (replacing earlier registrations of the same keys).
    void registerDefaults(const QVariantMap &defaults);

    /// The user's value, else the registered default; an invalid value when neither exists.
    QVariant object(const QString &key) const;

    /// Text stored under the key; nothing for a number, a Boolean or no value.
    std::optional<QString> string(const QString &key) const;
    /// A stored number (not text, not a Boolean); nothing otherwise.
    std::optional<double> number(const QString &key) const;
    /// Stored bytes; nothing otherwise.
    std::optional<QByteArray> data(const QString &key) const;

    /// Booleans as stored; a number is true when not zero; text "true", "yes" or a non-zero integer is true.
    bool boolean(const QString &key) const;
    /// A number as stored, a Boolean as 0 or 1, text that reads as a number; else 0.
    double doubleValue(const QString &key) const;
    /// doubleValue's rule for whole numbers (fractions cut off, clamped to the 64-bit range); else 0.
    std::int64_t integer(const QString &key) const;

    void set(const QString &key, const QVariant &value);
    void remove(const QString &key);

    /// Writes pending changes to the file and picks up changes other processes made to it.
    void synchronize();

    /// The file's status after the last synchronization (a write that failed shows here).
    QSettings::Status status() const;

    /// A number that changes whenever what the domain answers may have changed (a write, a registration,
    /// a synchronization that can bring in other processes' writes). No two domains of the process ever
    /// share one, so a reader may keep what it derived from the domain for as long as the number stays.
    std::uint64_t version() const { return version_.load(); }

private:
    void markChanged();

    std::atomic<std::uint64_t> version_;
    mutable std::recursive_mutex mutex_;
    mutable QSettings settings_;
    QVariantMap registered_;
};

} // namespace velto

#include "preferences/DefaultsDomain.h"

#include <QtCore/QFile>
#include <QtCore/QIODevice>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QStandardPaths>

#include <cmath>
#include <cstdio>
#include <limits>

namespace velto {

namespace {

// Bytes have no JSON type of their own; they are written as an object holding their Base64 text.
const QString dataMember = QStringLiteral("data");

bool isNumber(const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

QVariant variantFromJson(const QJsonValue &value) {
    if (value.isBool()) {
        return value.toBool();
    }
    if (value.isDouble()) {
        return value.toDouble();
    }
    if (value.isString()) {
        return value.toString();
    }
    if (value.isObject() && value.toObject().value(dataMember).isString()) {
        return QByteArray::fromBase64(value.toObject().value(dataMember).toString().toLatin1());
    }
    return {};
}

QJsonValue jsonFromVariant(const QVariant &value) {
    if (value.typeId() == QMetaType::Bool) {
        return value.toBool();
    }
    if (isNumber(value)) {
        return value.toDouble();
    }
    if (value.typeId() == QMetaType::QByteArray) {
        return QJsonObject{{dataMember, QString::fromLatin1(value.toByteArray().toBase64())}};
    }
    return value.toString();
}

bool readJsonSettings(QIODevice &device, QSettings::SettingsMap &map) {
    QByteArray bytes = device.readAll();
    if (bytes.trimmed().isEmpty()) {
        return true;
    }
    QJsonParseError error{};
    QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return false;
    }
    const QJsonObject object = document.object();
    for (auto member = object.begin(); member != object.end(); ++member) {
        QVariant value = variantFromJson(member.value());
        if (value.isValid()) {
            map.insert(member.key(), value);
        }
    }
    return true;
}

bool writeJsonSettings(QIODevice &device, const QSettings::SettingsMap &map) {
    QJsonObject object;
    for (auto entry = map.begin(); entry != map.end(); ++entry) {
        object.insert(entry.key(), jsonFromVariant(entry.value()));
    }
    return device.write(QJsonDocument(object).toJson(QJsonDocument::Indented)) >= 0;
}

QSettings::Format jsonFormat() {
    static const QSettings::Format format = QSettings::registerFormat("json", readJsonSettings, writeJsonSettings);
    return format;
}

std::int64_t clampedToInt64(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= 9223372036854775808.0) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (value < -9223372036854775808.0) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(value);
}

/// Versions are drawn from one sequence for every domain of the process, so a domain made where an
/// earlier one lay never answers an earlier one's version.
std::uint64_t nextVersion() {
    static std::atomic<std::uint64_t> last{0};
    return ++last;
}

} // namespace

DefaultsDomain::DefaultsDomain(const QString &filePath)
    : version_(nextVersion())
    , settings_(filePath, jsonFormat()) {
    // A file that does not parse reads as empty and would be overwritten by the next write; keep a copy
    // so that settings edited by hand, or damaged, are not lost without a trace.
    if (settings_.status() == QSettings::FormatError) {
        QString copy = filePath + QStringLiteral(".damaged");
        QFile::remove(copy);
        QFile::copy(filePath, copy);
    }
}

QString DefaultsDomain::standardFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Velto/Velto.json");
}

void DefaultsDomain::registerDefaults(const QVariantMap &defaults) {
    std::lock_guard lock{mutex_};
    for (auto entry = defaults.begin(); entry != defaults.end(); ++entry) {
        registered_.insert(entry.key(), entry.value());
    }
    markChanged();
}

QVariant DefaultsDomain::object(const QString &key) const {
    std::lock_guard lock{mutex_};
    QVariant value = settings_.value(key);
    if (value.isValid()) {
        return value;
    }
    return registered_.value(key);
}

std::optional<QString> DefaultsDomain::string(const QString &key) const {
    QVariant value = object(key);
    if (value.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    return value.toString();
}

std::optional<double> DefaultsDomain::number(const QString &key) const {
    QVariant value = object(key);
    if (!isNumber(value)) {
        return std::nullopt;
    }
    return value.toDouble();
}

std::optional<QByteArray> DefaultsDomain::data(const QString &key) const {
    QVariant value = object(key);
    if (value.typeId() != QMetaType::QByteArray) {
        return std::nullopt;
    }
    return value.toByteArray();
}

bool DefaultsDomain::boolean(const QString &key) const {
    QVariant value = object(key);
    if (value.typeId() == QMetaType::Bool) {
        return value.toBool();
    }
    if (isNumber(value)) {
        return value.toDouble() != 0;
    }
    if (value.typeId() == QMetaType::QString) {
        QString text = value.toString().trimmed();
        if (text.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0 ||
            text.compare(QStringLiteral("yes"), Qt::CaseInsensitive) == 0) {
            return true;
        }
        bool ok = false;
        long long number = text.toLongLong(&ok);
        return ok && number != 0;
    }
    return false;
}

double DefaultsDomain::doubleValue(const QString &key) const {
    QVariant value = object(key);
    if (value.typeId() == QMetaType::Bool) {
        return value.toBool() ? 1 : 0;
    }
    if (isNumber(value)) {
        return value.toDouble();
    }
    if (value.typeId() == QMetaType::QString) {
        bool ok = false;
        double number = value.toString().trimmed().toDouble(&ok);
        return ok ? number : 0;
    }
    return 0;
}

std::int64_t DefaultsDomain::integer(const QString &key) const {
    return clampedToInt64(doubleValue(key));
}

void DefaultsDomain::set(const QString &key, const QVariant &value) {
    std::lock_guard lock{mutex_};
    settings_.setValue(key, value);
    markChanged();
}

void DefaultsDomain::remove(const QString &key) {
    std::lock_guard lock{mutex_};
    settings_.remove(key);
    markChanged();
}

void DefaultsDomain::synchronize() {
    std::lock_guard lock{mutex_};
    settings_.sync();
    markChanged();
}

void DefaultsDomain::markChanged() {
    version_.store(nextVersion());
}

QSettings::Status DefaultsDomain::status() const {
    std::lock_guard lock{mutex_};
    return settings_.status();
}

} // namespace velto

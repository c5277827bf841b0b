// The label rules of GlobalShortcut: which labels are valid, how they compare, which name special keys.
#include "preferences/GlobalShortcut.h"
#include "preferences/KeyLabelText.h"

#include <QtCore/QLocale>
#include <QtCore/QStringList>
#include <QtCore/QTextBoundaryFinder>

#include <algorithm>

namespace velto {

namespace {

const QString minusSign = QStringLiteral("\u2212");
const QString hyphenMinus = QStringLiteral("-");

const QStringList &keyGlyphs() {
    static const QStringList glyphs{
        QStringLiteral("↩"), QStringLiteral("⇥"), QStringLiteral("⌫"), QStringLiteral("⌦"), QStringLiteral("⎋"),
        QStringLiteral("←"), QStringLiteral("→"), QStringLiteral("↑"), QStringLiteral("↓"), QStringLiteral("↖"),
        QStringLiteral("↘"), QStringLiteral("⇞"), QStringLiteral("⇟"),
    };
    return glyphs;
}

QString replacingMinusSign(QString label) {
    return label.replace(minusSign, hyphenMinus);
}

bool isControlCharacter(char32_t scalar) {
    QChar::Category category = QChar::category(scalar);
    return category == QChar::Other_Control || category == QChar::Other_Format;
}

} // namespace

qsizetype characterCount(const QString &text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() > 0) {
        ++count;
    }
    return count;
}

// "F" followed by a decimal integer (an optional sign, then digits): F5 gives 5, F05 gives 5, FX nothing.
std::optional<int> functionKeyNumber(const QString &normalizedLabel) {
    if (normalizedLabel.size() < 2 || normalizedLabel[0] != QLatin1Char('F')) {
        return std::nullopt;
    }
    QStringView digits = QStringView{normalizedLabel}.mid(1);
    bool negative = false;
    if (digits[0] == QLatin1Char('+') || digits[0] == QLatin1Char('-')) {
        negative = digits[0] == QLatin1Char('-');
        digits = digits.mid(1);
    }
    if (digits.isEmpty()) {
        return std::nullopt;
    }
    long long value = 0;
    for (QChar digit : digits) {
        if (digit < QLatin1Char('0') || digit > QLatin1Char('9')) {
            return std::nullopt;
        }
        // Anything past 1000 is out of range anyway; stop growing before it could overflow.
        value = std::min(value * 10 + (digit.unicode() - '0'), 1000LL);
    }
    return static_cast<int>(negative ? -value : value);
}

QString GlobalShortcut::normalizedKeyLabel(const QString &label) {
    QString replaced = replacingMinusSign(label);
    QString upper = QLocale::system().toUpper(replaced);
    if (characterCount(replaced) != 1) {
        return upper;
    }
    return characterCount(upper) == 1 ? upper : replaced;
}

bool GlobalShortcut::isNamedSpecialKey(const QString &label) {
    QString normalized = normalizedKeyLabel(label);
    if (normalized == QStringLiteral("SPACE") || keyGlyphs().contains(normalized)) {
        return true;
    }
    std::optional<int> number = functionKeyNumber(normalized);
    return number && *number >= 1 && *number <= 35;
}

bool GlobalShortcut::isValidLocalKeyLabel(const QString &label) {
    if (isNamedSpecialKey(label)) {
        return true;
    }
    QString replaced = replacingMinusSign(label);
    if (characterCount(replaced) != 1) {
        return false;
    }
    for (char32_t scalar : replaced.toUcs4()) {
        if (isControlCharacter(scalar)) {
            return false;
        }
    }
    return true;
}

std::optional<QString> GlobalShortcut::canonicalSpecialKeyLabel(std::uint32_t keyCode) {
    auto entry = specialKeyLabels().find(keyCode);
    if (entry == specialKeyLabels().end()) {
        return std::nullopt;
    }
    return entry->second;
}

bool GlobalShortcut::localKeyLabelsEqual(const QString &a, const QString &b) {
    QString left = replacingMinusSign(a);
    QString right = replacingMinusSign(b);
    if (characterCount(left) == 1 && characterCount(right) == 1) {
        return left.compare(right, Qt::CaseInsensitive) == 0;
    }
    return normalizedKeyLabel(left) == normalizedKeyLabel(right);
}

const std::map<std::uint32_t, QString> &GlobalShortcut::specialKeyLabels() {
    static const std::map<std::uint32_t, QString> labels{
        {49, QStringLiteral("Space")}, {36, QStringLiteral("↩")},    {48, QStringLiteral("⇥")},
        {51, QStringLiteral("⌫")},     {117, QStringLiteral("⌦")},   {53, QStringLiteral("⎋")},
        {123, QStringLiteral("←")},    {124, QStringLiteral("→")},   {126, QStringLiteral("↑")},
        {125, QStringLiteral("↓")},    {115, QStringLiteral("↖")},   {119, QStringLiteral("↘")},
        {116, QStringLiteral("⇞")},    {121, QStringLiteral("⇟")},   {122, QStringLiteral("F1")},
        {120, QStringLiteral("F2")},   {99, QStringLiteral("F3")},   {118, QStringLiteral("F4")},
        {96, QStringLiteral("F5")},    {97, QStringLiteral("F6")},   {98, QStringLiteral("F7")},
        {100, QStringLiteral("F8")},   {101, QStringLiteral("F9")},  {109, QStringLiteral("F10")},
        {103, QStringLiteral("F11")},  {111, QStringLiteral("F12")}, {105, QStringLiteral("F13")},
        {107, QStringLiteral("F14")},  {113, QStringLiteral("F15")}, {106, QStringLiteral("F16")},
        {64, QStringLiteral("F17")},   {79, QStringLiteral("F18")},  {80, QStringLiteral("F19")},
        {90, QStringLiteral("F20")},
    };
    return labels;
}

const QHash<QString, QString> &GlobalShortcut::accessibilityKeyLabels() {
    static const QHash<QString, QString> labels{
        {QStringLiteral("\u2212"), QStringLiteral("Minus")},  {QStringLiteral("-"), QStringLiteral("Minus")},
        {QStringLiteral("+"), QStringLiteral("Plus")},        {QStringLiteral(","), QStringLiteral("Comma")},
        {QStringLiteral("↩"), QStringLiteral("Return")},      {QStringLiteral("⇥"), QStringLiteral("Tab")},
        {QStringLiteral("⌫"), QStringLiteral("Delete")},      {QStringLiteral("⌦"), QStringLiteral("Forward Delete")},
        {QStringLiteral("⎋"), QStringLiteral("Escape")},      {QStringLiteral("←"), QStringLiteral("Left Arrow")},
        {QStringLiteral("→"), QStringLiteral("Right Arrow")}, {QStringLiteral("↑"), QStringLiteral("Up Arrow")},
        {QStringLiteral("↓"), QStringLiteral("Down Arrow")},  {QStringLiteral("↖"), QStringLiteral("Home")},
        {QStringLiteral("↘"), QStringLiteral("End")},         {QStringLiteral("⇞"), QStringLiteral("Page Up")},
        {QStringLiteral("⇟"), QStringLiteral("Page Down")},
    };
    return labels;
}

} // namespace velto

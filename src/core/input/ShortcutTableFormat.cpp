#include "core/input/ShortcutTableFormat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace ShortcutTableFormat {
namespace {

const QString kKeyCode = QStringLiteral("keyCode");
const QString kModifierFlags = QStringLiteral("modifierFlags");

// A whole number within [0, max]; booleans and strings are not numbers here.
std::optional<uint64_t> unsignedMember(const QJsonObject& object, const QString& name, uint64_t max)
{
    const QJsonValue value = object.value(name);
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number) || number < 0 || number > static_cast<double>(max) || std::trunc(number) != number)
        return std::nullopt;
    return static_cast<uint64_t>(number);
}

} // namespace

QByteArray encode(const ShortcutTable& table)
{
    QJsonArray array;
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        array.append(it.key().rawValue());
        array.append(QJsonObject{{kKeyCode, static_cast<qint64>(it.value().keyCode)},
            {kModifierFlags, static_cast<qint64>(it.value().modifierFlags)}});
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<ShortcutTable> decode(const QByteArray& data)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    const QJsonArray array = document.array();
    if (array.size() % 2 != 0)
        return std::nullopt;

    ShortcutTable table;
    for (qsizetype i = 0; i < array.size(); i += 2) {
        if (!array.at(i).isString() || !array.at(i + 1).isObject())
            return std::nullopt;
        const auto action = ShortcutAction::fromRawValue(array.at(i).toString());
        if (!action)
            return std::nullopt;
        const QJsonObject object = array.at(i + 1).toObject();
        const auto keyCode = unsignedMember(object, kKeyCode, std::numeric_limits<uint16_t>::max());
        const auto flags = unsignedMember(object, kModifierFlags, std::numeric_limits<uint32_t>::max());
        if (!keyCode || !flags)
            return std::nullopt;
        table.insert(*action, KeyboardShortcut{static_cast<uint16_t>(*keyCode), static_cast<uint32_t>(*flags)});
    }
    return table;
}

} // namespace ShortcutTableFormat

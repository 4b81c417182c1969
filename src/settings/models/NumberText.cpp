#include "settings/models/NumberText.h"

#include <charconv>
#include <cmath>
#include <string>

namespace {

// from_chars takes no leading "+"; a sign it allows is "-" only.
std::string withoutPlus(const QString& text)
{
    std::string bytes = text.toStdString();
    if (!bytes.empty() && bytes.front() == '+' && (bytes.size() == 1 || bytes[1] != '-'))
        bytes.erase(bytes.begin());
    return bytes;
}

} // namespace

namespace NumberText {

std::optional<float> parseFloat(const QString& text)
{
    const std::string bytes = withoutPlus(text);
    if (bytes.empty() || text.startsWith(QStringLiteral("+-")))
        return std::nullopt;
    float value = 0;
    const auto [end, error] =
        std::from_chars(bytes.data(), bytes.data() + bytes.size(), value, std::chars_format::general);
    if (error != std::errc() || end != bytes.data() + bytes.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int32_t> parseInt32(const QString& text)
{
    const std::string bytes = withoutPlus(text);
    if (bytes.empty() || text.startsWith(QStringLiteral("+-")))
        return std::nullopt;
    int32_t value = 0;
    const auto [end, error] = std::from_chars(bytes.data(), bytes.data() + bytes.size(), value, 10);
    if (error != std::errc() || end != bytes.data() + bytes.size())
        return std::nullopt;
    return value;
}

QString fromFloat(float value)
{
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (error != std::errc())
        return QString::number(static_cast<double>(value));
    QString text = QString::fromLatin1(buffer, static_cast<int>(end - buffer));
    if (std::isfinite(value) && !text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e')))
        text += QStringLiteral(".0");
    return text;
}

QString fromInt32(int32_t value)
{
    return QString::number(value);
}

} // namespace NumberText

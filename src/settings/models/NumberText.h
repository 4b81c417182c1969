#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// The texts of number settings as the user types them. Parsing takes the
// whole text: an optional sign, then a decimal number (a fraction and an
// exponent for floats); surrounding spaces, words and non-finite values do
// not parse.
namespace NumberText {

std::optional<float> parseFloat(const QString& text);
std::optional<int32_t> parseInt32(const QString& text);
// The shortest text that reads back as the same value, with ".0" after an
// integral value ("0.0", "2.4", "-1.0").
QString fromFloat(float value);
QString fromInt32(int32_t value);

} // namespace NumberText

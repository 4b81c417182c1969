#include "settings/models/AdvancedSettingsFile.h"

#include "settings/models/NumberText.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cmath>
#include <limits>

namespace {

// A float setting is written as the double its shortest text reads as, so
// the file shows 0.7 rather than 0.699999988079071.
double plainDouble(float value)
{
    return NumberText::fromFloat(value).toDouble();
}

std::optional<bool> boolean(const QJsonObject& root, const char* name)
{
    const QJsonValue value = root.value(QLatin1String(name));
    if (!value.isBool())
        return std::nullopt;
    return value.toBool();
}

// A number member converted to a 32-bit float. Range checks are the
// validators' work: an out-of-range value is assigned and then reported.
std::optional<QString> floatText(const QJsonObject& root, const char* name)
{
    const QJsonValue value = root.value(QLatin1String(name));
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::abs(number) > std::numeric_limits<float>::max())
        return std::nullopt;
    return NumberText::fromFloat(static_cast<float>(number));
}

std::optional<QString> integerText(const QJsonObject& root, const char* name)
{
    const QJsonValue value = root.value(QLatin1String(name));
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    constexpr double low = std::numeric_limits<int32_t>::min();
    constexpr double high = std::numeric_limits<int32_t>::max();
    if (!std::isfinite(number) || number != std::trunc(number) || number < low || number > high)
        return std::nullopt;
    return NumberText::fromInt32(static_cast<int32_t>(number));
}

} // namespace

namespace AdvancedSettingsFile {

QByteArray encode(const AdvancedSettings& settings)
{
    QJsonObject root;
    root.insert(QStringLiteral("enableStreamingMode"), settings.enableStreamingMode);
    root.insert(QStringLiteral("enableVoiceActivityDetection"), settings.enableVoiceActivityDetection);
    root.insert(QStringLiteral("vadThreshold"), std::isfinite(settings.vadThreshold) ? settings.vadThreshold : 0.5);
    root.insert(QStringLiteral("whisperTemperature"),
        plainDouble(NumberText::parseFloat(settings.whisperTemperature).value_or(0.0f)));
    root.insert(QStringLiteral("whisperBeamSize"), NumberText::parseInt32(settings.whisperBeamSize).value_or(5));
    root.insert(QStringLiteral("whisperBestOf"), NumberText::parseInt32(settings.whisperBestOf).value_or(5));
    root.insert(QStringLiteral("whisperEntropyThreshold"),
        plainDouble(NumberText::parseFloat(settings.whisperEntropyThreshold).value_or(2.4f)));
    root.insert(QStringLiteral("whisperLogProbThreshold"),
        plainDouble(NumberText::parseFloat(settings.whisperLogProbThreshold).value_or(-1.0f)));
    root.insert(QStringLiteral("whisperNoFallback"), settings.whisperNoFallback);
    root.insert(QStringLiteral("enableDebugLogging"), settings.enableDebugLogging);
    root.insert(QStringLiteral("enableBetaFeatures"), settings.enableBetaFeatures);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::variant<AdvancedSettingsUpdate, QString> decode(const QByteArray& bytes)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return QStringLiteral("The file is not a settings file: %1 (at character %2).")
            .arg(parseError.errorString())
            .arg(parseError.offset);
    const QJsonObject root = document.isObject() ? document.object() : QJsonObject();

    AdvancedSettingsUpdate update;
    update.enableStreamingMode = boolean(root, "enableStreamingMode");
    update.enableVoiceActivityDetection = boolean(root, "enableVoiceActivityDetection");
    const QJsonValue threshold = root.value(QStringLiteral("vadThreshold"));
    if (threshold.isDouble() && std::isfinite(threshold.toDouble()))
        update.vadThreshold = threshold.toDouble();
    update.whisperTemperature = floatText(root, "whisperTemperature");
    update.whisperBeamSize = integerText(root, "whisperBeamSize");
    update.whisperBestOf = integerText(root, "whisperBestOf");
    update.whisperEntropyThreshold = floatText(root, "whisperEntropyThreshold");
    update.whisperLogProbThreshold = floatText(root, "whisperLogProbThreshold");
    update.whisperNoFallback = boolean(root, "whisperNoFallback");
    update.enableDebugLogging = boolean(root, "enableDebugLogging");
    update.enableBetaFeatures = boolean(root, "enableBetaFeatures");
    return update;
}

std::optional<QString> write(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("Could not write %1: %2").arg(path, file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return QStringLiteral("Could not write %1: %2").arg(path, reason);
    }
    if (!file.commit())
        return QStringLiteral("Could not write %1: %2").arg(path, file.errorString());
    return std::nullopt;
}

std::variant<QByteArray, QString> read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("Could not read %1: %2").arg(path, file.errorString());
    // A settings file is a few hundred bytes; anything far larger is not one.
    constexpr qint64 limit = 1024 * 1024;
    if (file.size() > limit)
        return QStringLiteral("%1 is too large to be a settings file.").arg(path);
    return file.readAll();
}

} // namespace AdvancedSettingsFile

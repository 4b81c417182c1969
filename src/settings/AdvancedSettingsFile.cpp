#include "settings/AdvancedSettingsFile.h"

#include "settings/NumberText.h"

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

// A number member converted to a 32-bit float, within [low, high].
std::optional<QString> floatText(const QJsonObject& root, const char* name, float low, float high)
{
    const QJsonValue value = root.value(QLatin1String(name));
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::abs(number) > std::numeric_limits<float>::max())
        return std::nullopt;
    const float converted = static_cast<float>(number);
    if (!(converted >= low && converted <= high))
        return std::nullopt;
    return NumberText::fromFloat(converted);
}

std::optional<QString> integerText(const QJsonObject& root, const char* name, int low, int high)
{
    const QJsonValue value = root.value(QLatin1String(name));
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
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
    constexpr float infinity = std::numeric_limits<float>::infinity();

    AdvancedSettingsUpdate update;
    update.enableStreamingMode = boolean(root, "enableStreamingMode");
    update.enableVoiceActivityDetection = boolean(root, "enableVoiceActivityDetection");
    const QJsonValue threshold = root.value(QStringLiteral("vadThreshold"));
    if (threshold.isDouble() && threshold.toDouble() >= 0.0 && threshold.toDouble() <= 1.0)
        update.vadThreshold = threshold.toDouble();
    update.whisperTemperature = floatText(root, "whisperTemperature", 0.0f, 1.0f);
    update.whisperBeamSize = integerText(root, "whisperBeamSize", 1, 10);
    update.whisperBestOf = integerText(root, "whisperBestOf", 1, 10);
    update.whisperEntropyThreshold = floatText(root, "whisperEntropyThreshold", 0.0f, infinity);
    update.whisperLogProbThreshold = floatText(root, "whisperLogProbThreshold", -infinity, infinity);
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

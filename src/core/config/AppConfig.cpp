#include "core/config/AppConfig.h"

#include "base/Defaults.h"

#include <limits>

namespace AppConfig {
namespace {

bool isNumber(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

bool isInteger(const QVariant& v)
{
    return isNumber(v) && v.typeId() != QMetaType::Double && v.typeId() != QMetaType::Float;
}

// The store's own boolean read: absent is false, other types convert.
bool boolLookup(const QString& key)
{
    const QVariant v = Defaults::value(key);
    if (!v.isValid())
        return false;
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed().toLower();
        return s == "true" || s == "yes" || s.toLongLong() != 0;
    }
    return v.toBool();
}

bool typedBool(const QString& key, bool fallback)
{
    const QVariant v = Defaults::value(key);
    return v.typeId() == QMetaType::Bool ? v.toBool() : fallback;
}

int32_t typedInt32(const QString& key, int32_t fallback)
{
    const QVariant v = Defaults::value(key);
    if (!isInteger(v))
        return fallback;
    const qlonglong n = v.toLongLong();
    // Values beyond 32 bits are never written by the application; reading
    // one falls back rather than wrapping around.
    if (n < std::numeric_limits<int32_t>::min() || n > std::numeric_limits<int32_t>::max())
        return fallback;
    return static_cast<int32_t>(n);
}

float typedFloat(const QString& key, float fallback)
{
    const QVariant v = Defaults::value(key);
    return isNumber(v) ? v.toFloat() : fallback;
}

double typedDouble(const QString& key, double fallback)
{
    const QVariant v = Defaults::value(key);
    return isNumber(v) ? v.toDouble() : fallback;
}

void setBool(const QString& key, bool value)
{
    Defaults::setValue(key, value);
}

} // namespace

bool enableStreamingMode()
{
    return boolLookup("StreamingModeEnabled");
}
void setEnableStreamingMode(bool value)
{
    setBool("StreamingModeEnabled", value);
}
bool enableRecordingSaving()
{
    return boolLookup("EnableRecordingSaving");
}
void setEnableRecordingSaving(bool value)
{
    setBool("EnableRecordingSaving", value);
}
bool showInFinderAfterSaving()
{
    return boolLookup("ShowInFinderAfterSaving");
}
void setShowInFinderAfterSaving(bool value)
{
    setBool("ShowInFinderAfterSaving", value);
}

QStringList whisperDictionaryWords()
{
    const QVariant v = Defaults::value("WhisperDictionaryWords");
    if (v.typeId() != QMetaType::QVariantList && v.typeId() != QMetaType::QStringList)
        return {};
    QStringList words;
    for (const QVariant& item : v.toList()) {
        if (item.typeId() != QMetaType::QString)
            return {};
        words << item.toString();
    }
    return words;
}
void setWhisperDictionaryWords(const QStringList& value)
{
    Defaults::setValue("WhisperDictionaryWords", value);
}

int32_t whisperBestOf()
{
    return typedInt32("WhisperBestOf", 5);
}
void setWhisperBestOf(int32_t value)
{
    Defaults::setValue("WhisperBestOf", qlonglong(value));
}
int32_t whisperBeamSize()
{
    return typedInt32("WhisperBeamSize", 5);
}
void setWhisperBeamSize(int32_t value)
{
    Defaults::setValue("WhisperBeamSize", qlonglong(value));
}
float whisperTemperature()
{
    return typedFloat("WhisperTemperature", 0.0f);
}
void setWhisperTemperature(float value)
{
    Defaults::setValue("WhisperTemperature", double(value));
}
bool whisperNoFallback()
{
    return boolLookup("WhisperNoFallback");
}
void setWhisperNoFallback(bool value)
{
    setBool("WhisperNoFallback", value);
}
float whisperEntropyThreshold()
{
    return typedFloat("WhisperEntropyThreshold", 2.4f);
}
void setWhisperEntropyThreshold(float value)
{
    Defaults::setValue("WhisperEntropyThreshold", double(value));
}
float whisperLogProbThreshold()
{
    return typedFloat("WhisperLogProbThreshold", -1.0f);
}
void setWhisperLogProbThreshold(float value)
{
    Defaults::setValue("WhisperLogProbThreshold", double(value));
}

bool launchAtLogin()
{
    return boolLookup("LaunchAtLogin");
}
void setLaunchAtLogin(bool value)
{
    setBool("LaunchAtLogin", value);
}
bool showDockIcon()
{
    return boolLookup("ShowDockIcon");
}
void setShowDockIcon(bool value)
{
    setBool("ShowDockIcon", value);
}
bool enableSoundEffects()
{
    return boolLookup("EnableSoundEffects");
}
void setEnableSoundEffects(bool value)
{
    setBool("EnableSoundEffects", value);
}
bool insertAfterRecording()
{
    return typedBool("InsertAfterRecording", true);
}
void setInsertAfterRecording(bool value)
{
    setBool("InsertAfterRecording", value);
}
bool copyToClipboard()
{
    return boolLookup("CopyToClipboard");
}
void setCopyToClipboard(bool value)
{
    setBool("CopyToClipboard", value);
}
bool enableVoiceActivityDetection()
{
    return typedBool("EnableVoiceActivityDetection", true);
}
void setEnableVoiceActivityDetection(bool value)
{
    setBool("EnableVoiceActivityDetection", value);
}

QString vadSegmentationMode()
{
    const QVariant v = Defaults::value("VADSegmentationMode");
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    if (isNumber(v))
        return v.toString();
    return QStringLiteral("conservative");
}
void setVadSegmentationMode(const QString& value)
{
    Defaults::setValue("VADSegmentationMode", value);
}

double vadThreshold()
{
    return typedDouble("VADThreshold", 0.5);
}
void setVadThreshold(double value)
{
    Defaults::setValue("VADThreshold", value);
}
bool enableDebugLogging()
{
    return boolLookup("EnableDebugLogging");
}
void setEnableDebugLogging(bool value)
{
    setBool("EnableDebugLogging", value);
}
bool enableBetaFeatures()
{
    return boolLookup("EnableBetaFeatures");
}
void setEnableBetaFeatures(bool value)
{
    setBool("EnableBetaFeatures", value);
}

std::optional<QPointF> popoverWindowPosition()
{
    const QVariant x = Defaults::value("PopoverWindowX");
    if (!isNumber(x))
        return std::nullopt;
    const QVariant y = Defaults::value("PopoverWindowY");
    if (!isNumber(y))
        return std::nullopt;
    return QPointF(x.toDouble(), y.toDouble());
}

void setPopoverWindowPosition(const std::optional<QPointF>& value)
{
    auto store = Defaults::open();
    if (!value) {
        store->remove("PopoverWindowX");
        store->remove("PopoverWindowY");
    } else {
        store->setValue("PopoverWindowX", value->x());
        store->setValue("PopoverWindowY", value->y());
    }
    store->sync();
}

void resetWhisperSettings()
{
    auto store = Defaults::open();
    for (const char* key : {"WhisperTemperature", "WhisperBeamSize", "WhisperBestOf", "WhisperEntropyThreshold",
             "WhisperLogProbThreshold", "WhisperNoFallback"})
        store->remove(key);
    store->sync();
}

} // namespace AppConfig

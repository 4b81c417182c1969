#include "core/speech/WhisperModel.h"

#include "core/config/AppConfig.h"

#include <algorithm>

std::optional<WhisperModel> WhisperModel::fromRawValue(const QString& identifier)
{
    for (WhisperModel model : allCases()) {
        if (model.rawValue() == identifier)
            return model;
    }
    return std::nullopt;
}

std::optional<WhisperModel> WhisperModel::fromVariant(const QVariant& value)
{
    if (value.metaType() != QMetaType::fromType<WhisperModel>())
        return std::nullopt;
    return *static_cast<const WhisperModel*>(value.constData());
}

QList<WhisperModel> WhisperModel::allCases()
{
    return {largeV3TurboQ5, largeV3TurboQ8, largeV3Turbo, largeV3};
}

QList<WhisperModel> WhisperModel::allCasesRecommendedOrder()
{
    return allCases();
}

QList<WhisperModel> WhisperModel::allCasesSortedBySize()
{
    QList<WhisperModel> models = allCases();
    std::stable_sort(
        models.begin(), models.end(), [](WhisperModel a, WhisperModel b) { return a.sizeInMB() < b.sizeInMB(); });
    return models;
}

QString WhisperModel::rawValue() const
{
    switch (modelCase) {
    case largeV3TurboQ5:
        return QStringLiteral("large-v3-turbo-q5_0");
    case largeV3TurboQ8:
        return QStringLiteral("large-v3-turbo-q8_0");
    case largeV3Turbo:
        return QStringLiteral("large-v3-turbo");
    case largeV3:
        return QStringLiteral("large-v3");
    }
    return {};
}

QString WhisperModel::displayName() const
{
    switch (modelCase) {
    case largeV3TurboQ5:
        return QStringLiteral("Large v3 Turbo Q5");
    case largeV3TurboQ8:
        return QStringLiteral("Large v3 Turbo Q8");
    case largeV3Turbo:
        return QStringLiteral("Large v3 Turbo");
    case largeV3:
        return QStringLiteral("Large v3");
    }
    return {};
}

QString WhisperModel::estimatedSize() const
{
    switch (modelCase) {
    case largeV3TurboQ5:
        return QStringLiteral("547 MB");
    case largeV3TurboQ8:
        return QStringLiteral("838 MB");
    case largeV3Turbo:
        return QStringLiteral("1.5 GB");
    case largeV3:
        return QStringLiteral("3.1 GB");
    }
    return {};
}

QString WhisperModel::description() const
{
    switch (modelCase) {
    case largeV3TurboQ5:
        return QStringLiteral(
            "Excellent balance of speed and accuracy. Supports 99+ languages. Recommended for most users.");
    case largeV3TurboQ8:
        return QStringLiteral(
            "Higher quality quantization for better accuracy. Good balance between size and performance.");
    case largeV3Turbo:
        return QStringLiteral("Maximum accuracy with turbo speed. Best for professional use and challenging audio.");
    case largeV3:
        return QStringLiteral(
            "Original Large v3 model. Maximum accuracy but slower. Best for highest quality transcriptions.");
    }
    return {};
}

int WhisperModel::sizeInMB() const
{
    switch (modelCase) {
    case largeV3TurboQ5:
        return 547;
    case largeV3TurboQ8:
        return 838;
    case largeV3Turbo:
        return 1500;
    case largeV3:
        return 3100;
    }
    return 0;
}

QString WhisperModel::fileName() const
{
    return QStringLiteral("ggml-") + rawValue() + QStringLiteral(".bin");
}

QString WhisperModel::downloadURL() const
{
    return ModelURLs::effectiveBaseURL() + ModelURLs::modelsPath + fileName();
}

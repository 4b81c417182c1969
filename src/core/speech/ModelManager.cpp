#include "core/speech/ModelManager.h"

#include "base/Defaults.h"
#include "base/Dispatch.h"
#include "base/NotificationCenter.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QVariant>

#include <filesystem>
#include <system_error>

namespace {

const QString kErrorDomain = QStringLiteral("Tallowind");
constexpr int kModelFileMissingCode = 3;
constexpr int kModelDeleteFailedCode = 4;

// Runs work on the main thread: inline when already there.
void onMain(Dispatch::Work work)
{
    if (Dispatch::isMainThread())
        work();
    else
        Dispatch::main().async(std::move(work));
}

// Removes a file, or a folder with its contents; a symbolic link is removed
// itself, never what it points to.
std::optional<DomainError> removeItem(const QString& path)
{
    std::error_code error;
    std::filesystem::remove_all(std::filesystem::path(path.toStdString()), error);
    if (!error)
        return std::nullopt;
    return DomainError{
        QString::fromUtf8(error.category().name()), error.value(), QString::fromStdString(error.message())};
}

} // namespace

ModelManager& ModelManager::shared()
{
    static ModelManager instance;
    return instance;
}

ModelManager::ModelManager()
{
    const QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataFolder.isEmpty()) {
        // Not created here: downloads and loads that need it fail on their own.
        modelsDirectoryPath = QDir::tempPath() + QStringLiteral("/Tallowind/Models");
        return;
    }
    modelsDirectoryPath = dataFolder + QStringLiteral("/Tallowind/Models");
    // A failure (a file standing in the way) surfaces when a model is used.
    QDir().mkpath(modelsDirectoryPath);
    migrateFromOldModels();
}

std::optional<QString> ModelManager::storedActiveIdentifier()
{
    const QVariant stored = Defaults::value(activeModelKey);
    if (stored.typeId() != QMetaType::QString)
        return std::nullopt;
    return stored.toString();
}

std::optional<WhisperModel> ModelManager::activeModel() const
{
    const auto identifier = storedActiveIdentifier();
    return identifier ? WhisperModel::fromRawValue(*identifier) : std::nullopt;
}

void ModelManager::setActiveModel(std::optional<WhisperModel> model)
{
    if (model)
        Defaults::setValue(activeModelKey, model->rawValue());
    else
        Defaults::remove(activeModelKey);
}

QList<WhisperModel> ModelManager::downloadedModels() const
{
    QList<WhisperModel> models;
    for (WhisperModel model : WhisperModel::allCases()) {
        if (isModelDownloaded(model))
            models.append(model);
    }
    return models;
}

QString ModelManager::modelPath(WhisperModel model) const
{
    return modelsDirectoryPath + QLatin1Char('/') + model.fileName();
}

bool ModelManager::isModelDownloaded(WhisperModel model) const
{
    return QFileInfo::exists(modelPath(model));
}

void ModelManager::validateDownloadedModels()
{
    const auto stored = storedActiveIdentifier();
    if (stored && !WhisperModel::fromRawValue(*stored)) {
        const auto mapped = mapOldModelToNew(*stored);
        setActiveModel(mapped && isModelDownloaded(*mapped) ? mapped : std::nullopt);
    }

    if (const auto active = activeModel(); active && !isModelDownloaded(*active))
        setActiveModel(std::nullopt);

    if (!activeModel()) {
        const QList<WhisperModel> downloaded = downloadedModels();
        if (!downloaded.isEmpty())
            setActiveModel(downloaded.first());
    }
}

std::optional<DomainError> ModelManager::deleteModel(WhisperModel model)
{
    const QString path = modelPath(model);
    if (QFileInfo::exists(path)) {
        if (auto error = removeItem(path))
            return error;
    }
    if (activeModel() == model)
        setActiveModel(std::nullopt);
    return std::nullopt;
}

std::optional<qint64> ModelManager::modelFileSize(WhisperModel model) const
{
    const QFileInfo info(modelPath(model));
    if (!info.exists())
        return std::nullopt;
    return info.size();
}

qint64 ModelManager::totalStorageUsed() const
{
    qint64 total = 0;
    for (WhisperModel model : downloadedModels())
        total += modelFileSize(model).value_or(0);
    return total;
}

void ModelManager::deleteModelAsync(WhisperModel model, DeleteCompletion completion)
{
    onMain([this, model, completion = std::move(completion)] {
        const QString path = modelPath(model);
        if (!QFileInfo::exists(path)) {
            completion(DomainError{kErrorDomain, kModelFileMissingCode,
                QStringLiteral("Model '") + model.displayName() + QStringLiteral("' not found")});
            return;
        }
        if (const auto error = removeItem(path)) {
            completion(DomainError{kErrorDomain, kModelDeleteFailedCode,
                QStringLiteral("Failed to delete model at ") + path + QStringLiteral(": ")
                    + error->localizedDescription});
            return;
        }
        if (activeModel() == model)
            setActiveModel(std::nullopt);
        NotificationCenter::shared().post(
            NotificationName::modelWasDeleted, {{modelUserInfoKey, model.toVariant()}}, this);
        completion(std::nullopt);
    });
}

void ModelManager::switchModel(WhisperModel model, Completion completion)
{
    onMain([this, model, completion = std::move(completion)] {
        if (!isModelDownloaded(model)) {
            completion(TallowindError::modelNotFound(model.displayName()));
            return;
        }
        setActiveModel(model);
        announceModelChange(model);
        completion(std::nullopt);
    });
}

void ModelManager::announceModelChange(WhisperModel model)
{
    NotificationCenter::shared().post(NotificationName::modelDidChange, {{modelUserInfoKey, model.toVariant()}}, this);
}

void ModelManager::ensureModelLoaded(Completion completion)
{
    onMain([this, completion = std::move(completion)] {
        const auto active = activeModel();
        if (!active) {
            completion(TallowindError::modelNotFound(QStringLiteral("No active model selected")));
            return;
        }
        if (!isModelDownloaded(*active)) {
            completion(TallowindError::modelNotFound(active->displayName()));
            return;
        }
        completion(std::nullopt);
    });
}

void ModelManager::downloadModel(WhisperModel model, Completion completion)
{
    downloadModel(model, {}, std::move(completion));
}

void ModelManager::downloadModel(WhisperModel, std::function<void(double)>, Completion completion)
{
    onMain([completion = std::move(completion)] {
        completion(TallowindError::modelDownloadFailed(QStringLiteral("Model download not implemented")));
    });
}

void ModelManager::migrateFromOldModels()
{
    const auto stored = storedActiveIdentifier();
    if (!stored || WhisperModel::fromRawValue(*stored))
        return;
    if (const auto mapped = mapOldModelToNew(*stored))
        Defaults::setValue(activeModelKey, mapped->rawValue());
    else
        Defaults::remove(activeModelKey);
}

std::optional<WhisperModel> ModelManager::mapOldModelToNew(const QString& identifier)
{
    static const QStringList toTurboQ5 = {
        QStringLiteral("tiny.en-q8_0"),
        QStringLiteral("tiny.en"),
        QStringLiteral("tiny"),
        QStringLiteral("base"),
        QStringLiteral("base.en"),
        QStringLiteral("small.en"),
        QStringLiteral("small"),
        QStringLiteral("medium.en"),
        QStringLiteral("medium"),
    };
    static const QStringList toTurbo = {QStringLiteral("large-v1"), QStringLiteral("large-v2")};
    if (toTurboQ5.contains(identifier))
        return WhisperModel::largeV3TurboQ5;
    if (toTurbo.contains(identifier))
        return WhisperModel::largeV3Turbo;
    return std::nullopt;
}

#pragma once

#include "core/config/TallowindError.h"
#include "core/speech/WhisperModel.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

// In-process notification names of the model store. The two model
// notifications come from the store (the ModelManager is their object) and
// carry the model itself under the user-info key
// ModelManager::modelUserInfoKey ("model"); read it with
// WhisperModel::fromVariant().
namespace NotificationName {
inline const QString modelDidChange = QStringLiteral("ModelDidChange");
inline const QString modelWasDeleted = QStringLiteral("ModelWasDeleted");
inline const QString modelDownloadStarted = QStringLiteral("ModelDownloadStarted");
inline const QString modelDownloadProgress = QStringLiteral("ModelDownloadProgress");
inline const QString modelDownloadCompleted = QStringLiteral("ModelDownloadCompleted");
inline const QString modelDownloadFailed = QStringLiteral("ModelDownloadFailed");
inline const QString recordingCancelled = QStringLiteral("RecordingCancelled");
} // namespace NotificationName

// The process-wide store of speech models: the models folder and the file
// names in it, the active model (settings key "activeModel"), which models are
// on disk, validation of the active choice, deletion and switching. A model is
// downloaded when something exists at its path; nothing is loaded here.
class ModelManager {
public:
    static ModelManager& shared();

    static inline const QString activeModelKey = QStringLiteral("activeModel");
    static inline const QString modelUserInfoKey = QStringLiteral("model");

    // ~/.local/share/Tallowind/Models, or Tallowind/Models in the temporary
    // folder when there is no data folder.
    const QString& modelsDirectory() const { return modelsDirectoryPath; }

    // No model when the key is absent, not a string or not a catalogue
    // identifier. Setting no model removes the key.
    std::optional<WhisperModel> activeModel() const;
    void setActiveModel(std::optional<WhisperModel> model);

    // Catalogue order.
    QList<WhisperModel> downloadedModels() const;
    // Always the catalogue file name inside the models folder; the file need
    // not exist.
    QString modelPath(WhisperModel model) const;
    bool isModelDownloaded(WhisperModel model) const;

    // Leaves the active model on a model whose file exists, or on none when no
    // model file exists at all; carries over an old identifier on the way.
    void validateDownloadedModels();

    // Removes whatever stands at the model's path and forgets it as the active
    // model. On failure nothing else changes and the file system's error is
    // returned.
    std::optional<DomainError> deleteModel(WhisperModel model);

    std::optional<qint64> modelFileSize(WhisperModel model) const;
    qint64 totalStorageUsed() const;

    // The asynchronous operations do their work on the main thread (inline
    // when called there) and call their completion there, with the error or
    // with nothing on success.
    using Completion = std::function<void(std::optional<TallowindError>)>;
    using DeleteCompletion = std::function<void(std::optional<DomainError>)>;

    // Fails with domain "Tallowind" code 3 when there is no file, code 4 when
    // removing it fails; posts "ModelWasDeleted" on success.
    void deleteModelAsync(WhisperModel model, DeleteCompletion completion);
    // Fails with modelNotFound when the model is not on disk; otherwise makes
    // it active and posts "ModelDidChange".
    void switchModel(WhisperModel model, Completion completion);
    // Tells the listeners that `model` is now the active one: "ModelDidChange"
    // from this store with the model under "model".
    void announceModelChange(WhisperModel model);
    // Checks only that an active model exists on disk; loads nothing.
    void ensureModelLoaded(Completion completion);
    // Downloads are the downloader's work: these always fail.
    void downloadModel(WhisperModel model, Completion completion);
    void downloadModel(WhisperModel model, std::function<void(double)> progressHandler, Completion completion);

    // Rewrites a stored identifier of an older catalogue to its current model,
    // or forgets it. Runs once when the store is first used; callable again so
    // tests can replay a start-up.
    void migrateFromOldModels();

private:
    ModelManager();
    ModelManager(const ModelManager&) = delete;
    ModelManager& operator=(const ModelManager&) = delete;

    static std::optional<QString> storedActiveIdentifier();
    static std::optional<WhisperModel> mapOldModelToNew(const QString& identifier);

    QString modelsDirectoryPath;
};

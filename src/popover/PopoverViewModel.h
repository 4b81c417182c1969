#pragma once

#include "downloads/ModelDownloadDelegate.h"
#include "popover/PopoverHost.h"
#include "popover/WhisperModelInfo.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

#include <memory>
#include <optional>
#include <unordered_map>

class ModelDownloader;

// The popover's long-lived model: the rows of the model picker, whether the
// popover shows its expanded layout, and a weak link to the controller that
// hosts the popover. One per process, made by the controller with the tray.
//
// The rows follow the settings store: every write to it rebuilds them, on
// the main thread.
//
// It can also download and delete models and keep a word list of its own
// ("customDictionaryWords", not the recognizer's dictionary).
class PopoverViewModel : public QObject, public ModelDownloadDelegate {
    Q_OBJECT
    Q_PROPERTY(QList<WhisperModelInfo> models READ models NOTIFY modelsChanged)
    Q_PROPERTY(QMap<QString, double> downloadProgress READ downloadProgress NOTIFY downloadProgressChanged)
    Q_PROPERTY(QStringList dictionaryWords READ dictionaryWords NOTIFY dictionaryWordsChanged)
    Q_PROPERTY(bool isExpanded READ isExpanded NOTIFY isExpandedChanged)

public:
    // The popover's two heights; the panel takes the same ones.
    static constexpr int collapsedHeight = 80;
    static constexpr int expandedHeight = 320;
    static constexpr const char* dictionaryWordsKey = "customDictionaryWords";
    static constexpr qsizetype maximumDictionaryWords = 1000;

    explicit PopoverViewModel(PopoverHost* host, QObject* parent = nullptr);
    ~PopoverViewModel() override;

    QList<WhisperModelInfo> models() const { return modelRows; }
    // Download fraction (0...1) by model identifier.
    QMap<QString, double> downloadProgress() const { return progressByModel; }
    QStringList dictionaryWords() const { return words; }
    bool isExpanded() const { return expanded; }
    // The first active row; none when no row is active.
    std::optional<WhisperModelInfo> activeModel() const;
    // The controller, or nullptr once it is gone.
    PopoverHost* host() const { return hostLink.get(); }

    // Publishes the flag and asks the host to resize its panel, on every call.
    void setExpanded(bool value);
    // The controller ended a recording that nobody asked to stop: its start
    // failed or its capture broke. A studio recording it was goes idle.
    void recordingDidFail();
    // Rebuilds the four rows in catalogue order from the model store.
    void loadModels();
    // Makes the row's model the active one. It refuses nothing: keeping
    // models that are not on disk from being chosen is the picker's job.
    void selectModel(const WhisperModelInfo& model);

    // Starts downloading the row's model; ignored while that model is
    // already downloading. Progress shows in downloadProgress.
    void downloadModel(const WhisperModelInfo& model);
    // Stops the row's download and forgets its progress; nothing when none
    // runs.
    void cancelDownload(const WhisperModelInfo& model);
    bool isDownloading(WhisperModel model) const;
    // Removes the model's file through the model store. When it was the
    // active model, the first other model on disk (catalogue order) becomes
    // active. A model not on disk changes nothing.
    void deleteModel(const WhisperModelInfo& model);

    // Appends the word trimmed; refuses an empty word, an exact duplicate
    // and a word beyond the 1000th, silently.
    void addWord(const QString& word);
    // Removes every exact match and stores the list, matched or not.
    void removeWord(const QString& word);

    void downloadDidStart(WhisperModel model) override;
    void downloadDidUpdateProgress(
        double progress, qint64 bytesWritten, qint64 totalBytes, WhisperModel model) override;
    void downloadDidComplete(WhisperModel model) override;
    void downloadDidFail(const TallowindError& error, WhisperModel model) override;

signals:
    void modelsChanged(const QList<WhisperModelInfo>& models);
    void downloadProgressChanged(const QMap<QString, double>& downloadProgress);
    void dictionaryWordsChanged(const QStringList& dictionaryWords);
    void isExpandedChanged(bool isExpanded);
    void recordingFailed();

private:
    void setupObservers();
    void loadDictionaryWords();
    void setModels(const QList<WhisperModelInfo>& value);
    void setDownloadProgress(const QMap<QString, double>& value);
    void setDictionaryWords(const QStringList& value);
    void saveDictionaryWords();
    // Runs `work` on a later turn of the main loop, only while `downloader`
    // is still the model's current download.
    void afterReport(WhisperModel model, std::function<void()> work);
    void downloadDidEnd(WhisperModel model);

    QList<WhisperModelInfo> modelRows;
    QMap<QString, double> progressByModel;
    QStringList words;
    bool expanded = false;
    std::unordered_map<WhisperModel, std::shared_ptr<ModelDownloader>> downloaders;
    PopoverHostLink hostLink;
};

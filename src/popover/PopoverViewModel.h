#pragma once

#include "popover/PopoverHost.h"
#include "popover/WhisperModelInfo.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

// The popover's long-lived model: the rows of the model picker, whether the
// popover shows its expanded layout, and a weak link to the controller that
// hosts the popover. One per process, made by the controller with the tray.
//
// The rows follow the settings store: every write to it rebuilds them, on
// the main thread.
class PopoverViewModel : public QObject {
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

    explicit PopoverViewModel(PopoverHost* host, QObject* parent = nullptr);

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
    // Rebuilds the four rows in catalogue order from the model store.
    void loadModels();
    // Makes the row's model the active one. It refuses nothing: keeping
    // models that are not on disk from being chosen is the picker's job.
    void selectModel(const WhisperModelInfo& model);

signals:
    void modelsChanged(const QList<WhisperModelInfo>& models);
    void downloadProgressChanged(const QMap<QString, double>& downloadProgress);
    void dictionaryWordsChanged(const QStringList& dictionaryWords);
    void isExpandedChanged(bool isExpanded);

private:
    void setupObservers();
    void loadDictionaryWords();
    void setModels(const QList<WhisperModelInfo>& value);
    void setDownloadProgress(const QMap<QString, double>& value);
    void setDictionaryWords(const QStringList& value);

    QList<WhisperModelInfo> modelRows;
    QMap<QString, double> progressByModel;
    QStringList words;
    bool expanded = false;
    PopoverHostLink hostLink;
};

#pragma once

#include "platform/SpeechRecognizer.h"

#include <QLocale>
#include <QString>

#include <memory>

// The on-device recognizer on pocketsphinx. Decoding runs on a worker thread
// of its own (about 0.2x real time on one core), so the capture thread only
// copies samples. The model is loaded on the first recognition.
class PocketSphinxRecognizer final : public SpeechRecognizer {
public:
    struct Model {
        QString acousticModelDir; // the HMM folder
        QString dictionaryFile;
        QString languageModelFile; // used when no grammar is given
        QString grammarFile; // a JSGF grammar instead of the language model
    };

    // The model of the locale's language and region when installed, else
    // the US English one; null when neither is installed.
    static std::shared_ptr<PocketSphinxRecognizer> forLocale(
        const QLocale& locale, const QString& modelRoot = defaultModelRoot());
    static QString defaultModelRoot();
    // The model set laid out as the Debian packages install it, e.g.
    // <root>/en-us/{en-us/, en-us.lm.bin, cmudict-en-us.dict}.
    static Model modelInFolder(const QString& folder);

    explicit PocketSphinxRecognizer(Model model);
    ~PocketSphinxRecognizer() override;
    PocketSphinxRecognizer(const PocketSphinxRecognizer&) = delete;
    PocketSphinxRecognizer& operator=(const PocketSphinxRecognizer&) = delete;

    AuthorizationStatus authorizationStatus() const override;
    void requestAuthorization(std::function<void(AuthorizationStatus)> completion) override;
    bool isAvailable() const override;
    void setAvailabilityHandler(std::function<void(bool available)> handler) override;
    std::shared_ptr<Task> startTask(ResultHandler handler) override;

    class Engine;

private:
    std::shared_ptr<Engine> sharedEngine;
};

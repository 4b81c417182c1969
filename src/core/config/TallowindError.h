#pragma once

#include <QString>

#include <exception>
#include <optional>
#include <string>

// The application's own error: eighteen kinds, most carrying text, each with
// the texts the user sees. It can be thrown; what() is the description.
class TallowindError : public std::exception {
public:
    enum class Kind {
        modelNotFound,
        modelDownloadFailed,
        modelLoadFailed,
        modelInitializationFailed,
        recordingFailed,
        audioEngineSetupFailed,
        transcriptionFailed,
        permissionDenied,
        fileOperationFailed,
        networkError,
        focusDetectionFailed,
        genericError,
        invalidModelURL,
        microphoneAccessDenied,
        noAudioInput,
        transcriptionNotSupported,
        emptyTranscriptionResult,
        accessibilityNotEnabled,
    };

    static TallowindError modelNotFound(const QString& name) { return {Kind::modelNotFound, name}; }
    static TallowindError modelDownloadFailed(const QString& reason) { return {Kind::modelDownloadFailed, reason}; }
    static TallowindError modelLoadFailed(const QString& reason) { return {Kind::modelLoadFailed, reason}; }
    static TallowindError modelInitializationFailed(const QString& reason)
    {
        return {Kind::modelInitializationFailed, reason};
    }
    static TallowindError recordingFailed(const QString& reason) { return {Kind::recordingFailed, reason}; }
    static TallowindError audioEngineSetupFailed(const QString& reason)
    {
        return {Kind::audioEngineSetupFailed, reason};
    }
    static TallowindError transcriptionFailed(const QString& reason) { return {Kind::transcriptionFailed, reason}; }
    static TallowindError permissionDenied(const QString& permission) { return {Kind::permissionDenied, permission}; }
    static TallowindError fileOperationFailed(const QString& operation, const QString& path)
    {
        return {Kind::fileOperationFailed, operation, path};
    }
    static TallowindError networkError(const QString& reason) { return {Kind::networkError, reason}; }
    static TallowindError focusDetectionFailed(const QString& reason) { return {Kind::focusDetectionFailed, reason}; }
    static TallowindError genericError(const QString& text) { return {Kind::genericError, text}; }
    static TallowindError invalidModelURL() { return {Kind::invalidModelURL}; }
    static TallowindError microphoneAccessDenied() { return {Kind::microphoneAccessDenied}; }
    static TallowindError noAudioInput() { return {Kind::noAudioInput}; }
    static TallowindError transcriptionNotSupported() { return {Kind::transcriptionNotSupported}; }
    static TallowindError emptyTranscriptionResult() { return {Kind::emptyTranscriptionResult}; }
    static TallowindError accessibilityNotEnabled() { return {Kind::accessibilityNotEnabled}; }

    Kind kind() const { return errorKind; }
    // The first text payload (name, reason, permission, operation or the
    // generic text); empty for kinds without one.
    const QString& payload() const { return errorPayload; }
    // The second payload of fileOperationFailed.
    const QString& path() const { return errorPath; }

    // Every kind has a description; it is what the user sees as the error.
    QString errorDescription() const;
    QString localizedDescription() const { return errorDescription(); }
    std::optional<QString> failureReason() const;
    std::optional<QString> recoverySuggestion() const;
    // The description, then two line feeds and the suggestion when there is one.
    QString userMessage() const;
    bool shouldShowAlert() const { return errorKind != Kind::emptyTranscriptionResult; }

    const char* what() const noexcept override { return fullMessage.c_str(); }

    friend bool operator==(const TallowindError& a, const TallowindError& b)
    {
        return a.errorKind == b.errorKind && a.errorPayload == b.errorPayload && a.errorPath == b.errorPath;
    }

private:
    TallowindError(Kind kind, QString payload = {}, QString path = {});

    Kind errorKind;
    QString errorPayload;
    QString errorPath;
    std::string fullMessage;
};

// An error object of a named domain with a numeric code, for failures that
// are not TallowindError kinds (file system errors, the "Tallowind" domain
// codes of the model store and the recorder).
struct DomainError {
    QString domain;
    int code = 0;
    QString localizedDescription;

    friend bool operator==(const DomainError&, const DomainError&) = default;
};

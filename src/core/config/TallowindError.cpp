#include "core/config/TallowindError.h"

namespace {
QString redownloadFromSettings()
{
    return QStringLiteral("Try downloading the model again from Settings > Models");
}
QString checkConnection()
{
    return QStringLiteral("Check your internet connection and try again");
}
} // namespace

TallowindError::TallowindError(Kind kind, QString payload, QString path)
    : kind_(kind), payload_(std::move(payload)), path_(std::move(path)), what_(errorDescription().toStdString())
{
}

QString TallowindError::errorDescription() const
{
    switch (kind_) {
    case Kind::modelNotFound:
        return QStringLiteral("Model '") + payload_ + QStringLiteral("' not found");
    case Kind::modelDownloadFailed:
        return QStringLiteral("Model download failed: ") + payload_;
    case Kind::modelLoadFailed:
        return QStringLiteral("Failed to load model: ") + payload_;
    case Kind::modelInitializationFailed:
        return QStringLiteral("Model initialization failed: ") + payload_;
    case Kind::recordingFailed:
        return QStringLiteral("Recording failed: ") + payload_;
    case Kind::audioEngineSetupFailed:
        return QStringLiteral("Audio engine setup failed: ") + payload_;
    case Kind::transcriptionFailed:
        return QStringLiteral("Transcription failed: ") + payload_;
    case Kind::permissionDenied:
        return payload_ + QStringLiteral(" permission denied");
    case Kind::fileOperationFailed:
        return QStringLiteral("Failed to ") + payload_ + QStringLiteral(" file at: ") + path_;
    case Kind::networkError:
        return QStringLiteral("Network error: ") + payload_;
    case Kind::focusDetectionFailed:
        return QStringLiteral("Focus detection failed: ") + payload_;
    case Kind::genericError:
        return payload_;
    case Kind::invalidModelURL:
        return QStringLiteral("Invalid model URL");
    case Kind::microphoneAccessDenied:
        return QStringLiteral("Microphone access denied");
    case Kind::noAudioInput:
        return QStringLiteral("No audio input available");
    case Kind::transcriptionNotSupported:
        return QStringLiteral("Transcription not supported on this device");
    case Kind::emptyTranscriptionResult:
        return QStringLiteral("No text was transcribed");
    case Kind::accessibilityNotEnabled:
        return QStringLiteral("Accessibility features must be enabled");
    }
    return QStringLiteral("An unknown error occurred");
}

std::optional<QString> TallowindError::failureReason() const
{
    switch (kind_) {
    case Kind::modelNotFound:
        return QStringLiteral("The selected model may have been deleted or moved");
    case Kind::networkError:
        return checkConnection();
    case Kind::microphoneAccessDenied:
        return QStringLiteral("The app needs microphone access to transcribe audio");
    case Kind::accessibilityNotEnabled:
        return QStringLiteral("Enable accessibility in System Settings > Privacy & Security > Accessibility");
    default:
        return std::nullopt;
    }
}

std::optional<QString> TallowindError::recoverySuggestion() const
{
    switch (kind_) {
    case Kind::modelNotFound:
    case Kind::modelLoadFailed:
        return redownloadFromSettings();
    case Kind::networkError:
        return checkConnection();
    case Kind::microphoneAccessDenied:
        return QStringLiteral("Go to System Settings > Privacy & Security > Microphone and enable Tallowind");
    case Kind::noAudioInput:
        return QStringLiteral("Check that your microphone is connected and selected in System Settings");
    case Kind::accessibilityNotEnabled:
        return QStringLiteral("Enable Tallowind in System Settings > Privacy & Security > Accessibility");
    default:
        return std::nullopt;
    }
}

QString TallowindError::userMessage() const
{
    QString message = errorDescription();
    if (const auto suggestion = recoverySuggestion())
        message += QStringLiteral("\n\n") + *suggestion;
    return message;
}

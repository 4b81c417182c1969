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
    : errorKind(kind),
      errorPayload(std::move(payload)),
      errorPath(std::move(path)),
      fullMessage(errorDescription().toStdString())
{
}

QString TallowindError::errorDescription() const
{
    switch (errorKind) {
    case Kind::modelNotFound:
        return QStringLiteral("Model '") + errorPayload + QStringLiteral("' not found");
    case Kind::modelDownloadFailed:
        return QStringLiteral("Model download failed: ") + errorPayload;
    case Kind::modelLoadFailed:
        return QStringLiteral("Failed to load model: ") + errorPayload;
    case Kind::modelInitializationFailed:
        return QStringLiteral("Model initialization failed: ") + errorPayload;
    case Kind::recordingFailed:
        return QStringLiteral("Recording failed: ") + errorPayload;
    case Kind::audioEngineSetupFailed:
        return QStringLiteral("Audio engine setup failed: ") + errorPayload;
    case Kind::transcriptionFailed:
        return QStringLiteral("Transcription failed: ") + errorPayload;
    case Kind::permissionDenied:
        return errorPayload + QStringLiteral(" permission denied");
    case Kind::fileOperationFailed:
        return QStringLiteral("Failed to ") + errorPayload + QStringLiteral(" file at: ") + errorPath;
    case Kind::networkError:
        return QStringLiteral("Network error: ") + errorPayload;
    case Kind::focusDetectionFailed:
        return QStringLiteral("Focus detection failed: ") + errorPayload;
    case Kind::genericError:
        return errorPayload;
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
    switch (errorKind) {
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
    switch (errorKind) {
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

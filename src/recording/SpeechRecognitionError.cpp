#include "recording/SpeechRecognitionError.h"

QString errorDescription(SpeechRecognitionError error)
{
    switch (error) {
    case SpeechRecognitionError::notAuthorized:
        return QStringLiteral("Speech recognition not authorized. Please enable in System Settings > "
                              "Privacy & Security > Speech Recognition.");
    case SpeechRecognitionError::recognizerUnavailable:
        return QStringLiteral("Speech recognizer is not available on this device.");
    case SpeechRecognitionError::requestCreationFailed:
        return QStringLiteral("Failed to create speech recognition request.");
    case SpeechRecognitionError::audioEngineError:
        return QStringLiteral("Audio engine error occurred during speech recognition.");
    }
    return {};
}

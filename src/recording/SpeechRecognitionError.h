#pragma once

#include "platform/SpeechRecognizer.h"

#include <QString>

#include <variant>

// The live transcriber's own failures.
enum class SpeechRecognitionError { notAuthorized, recognizerUnavailable, requestCreationFailed, audioEngineError };

QString errorDescription(SpeechRecognitionError error);

// What the transcriber reports to its delegate: one of its own failures, or
// an error the recognizer raised while recognizing.
using TranscriberError = std::variant<SpeechRecognitionError, SpeechRecognizer::Error>;

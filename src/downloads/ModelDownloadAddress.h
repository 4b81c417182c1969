#pragma once

#include "core/speech/WhisperModel.h"

#include <QUrl>

#include <optional>

// The model's download address as a URL, or none when its text is not an
// http(s) address with a host.
std::optional<QUrl> modelDownloadAddress(WhisperModel model);

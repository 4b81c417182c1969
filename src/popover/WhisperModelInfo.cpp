#include "popover/WhisperModelInfo.h"

WhisperModelInfo WhisperModelInfo::make(WhisperModel model, bool isActive, bool isDownloaded)
{
    return WhisperModelInfo{model.rawValue(), model.displayName(), model.estimatedSize(), model.description(),
        model.isEnglishOnly(), isActive, isDownloaded, model};
}

#pragma once

#include <QString>

// whisper.cpp's loader does not check its reads: a model file whose header
// (hyper-parameters, mel filters, vocabulary) is cut short crashes the
// process instead of failing. This walks that header and says whether it is
// complete; the tensors that follow are checked by the loader itself.
bool hasCompleteWhisperHeader(const QString& path);

#pragma once

#include "platform/FocusSource.h"
#include "support/PasteTarget.h"

#include <optional>

// Reads the focus once through `source`, with the event loop running until
// it answers, and returns what it read. When that is not in `target`, the
// target is asked to announce its field: an application can take the focus
// before its accessibility bridge is up and never say so.
std::optional<FocusedElement> readFocusOf(FocusSource& source, PasteTarget& target);

#include "support/TargetFocus.h"

#include "support/EventLoop.h"
#include "support/Patience.h"

#include <memory>

std::optional<FocusedElement> readFocusOf(FocusSource& source, PasteTarget& target)
{
    // An answer that comes after this call gave up still finds its state.
    auto answered = std::make_shared<bool>(false);
    auto read = std::make_shared<std::optional<FocusedElement>>();
    source.refresh([answered, read](const std::optional<FocusedElement>& element) {
        *answered = true;
        *read = element;
    });
    if (!pumpUntil([&] { return *answered; }, Patience::reply))
        return std::nullopt;
    if (!*read || (*read)->processId != target.processId())
        target.announceFocus();
    return *read;
}

#include "controller/AppDelegate.h"

#include "core/input/TextInsertion.h"
#include "core/state/RecordingState.h"
#include "platform/HotkeyTap.h"

QString AppDelegate::sanitizeText(const QString& text)
{
    return TextInsertion::sanitizeText(text);
}

// Called on the transcription worker with the text as whisper returned it.
void AppDelegate::injectText(const QString& text, RecordingMode mode)
{
    const QString cleaned = sanitizeText(text + QLatin1Char(' '));

    Dispatch::main().async([text] {
        NotificationCenter::shared().post(QStringLiteral("TranscriptionUpdated"), {{QStringLiteral("text"), text}});
    });

    // The studio only shows the text; the clipboard and other windows stay untouched.
    if (mode != RecordingMode::pushToTalk && mode != RecordingMode::toggle)
        return;
    if (TextInserter* inserter = textInserter())
        inserter->paste(cleaned);
}

TextInserter* AppDelegate::textInserter()
{
    std::call_once(textInserterOnce, [this] {
        if (!platformServices.pasteboard || !platformServices.keySynthesizer)
            return;
        std::function<bool()> shortcutHeld;
        if (std::shared_ptr<HotkeyTap> tap = platformServices.hotkeyTap)
            shortcutHeld = [tap] { return tap->isShortcutKeyHeld(); };
        sharedTextInserter = std::make_shared<TextInserter>(platformServices.pasteboard,
            platformServices.keySynthesizer, PasteTiming{}, std::move(shortcutHeld), platformServices.primarySelection);
    });
    return sharedTextInserter.get();
}

#include "controller/AppDelegate.h"

#include "core/input/HotkeyDecision.h"
#include "core/input/KeyboardShortcutManager.h"
#include "core/input/TextInsertion.h"
#include "core/state/RecordingState.h"
#include "platform/HotkeyTap.h"

#include <QPointer>

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
        // Read on the main thread for each paste: the shortcuts armed then.
        std::function<ShortcutKeys()> shortcuts;
        if (std::shared_ptr<HotkeyTap> tap = platformServices.hotkeyTap) {
            QPointer<AppDelegate> self(this);
            shortcuts = [self, tap] {
                ShortcutKeys keys;
                keys.tapHolding = [tap] { return tap->isShortcutKeyHeld(); };
                if (!self || !self->eventTap || !tap->isEnabled())
                    return keys; // nothing armed: no key of ours can take the chord
                const bool toggleRunning = self->isRecording()
                    && self->ownedRecordingStateManager->currentState().mode == RecordingMode::toggle;
                keys.combinations = hotkeyGrabs(KeyboardShortcutManager::shared(), toggleRunning);
                return keys;
            };
        }
        sharedTextInserter =
            std::make_shared<TextInserter>(platformServices.pasteboard, platformServices.keySynthesizer, PasteTiming{},
                std::move(shortcuts), platformServices.primarySelection, platformServices.pasteDelivery);
    });
    return sharedTextInserter.get();
}

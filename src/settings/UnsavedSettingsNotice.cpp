#include "settings/UnsavedSettingsNotice.h"

#include "base/Defaults.h"
#include "shell/theme/TallowindTheme.h"

#include <QAccessible>
#include <QEvent>

UnsavedSettingsNotice::UnsavedSettingsNotice(QWidget* parent) : QLabel(parent)
{
    setWordWrap(true);
    setFont(TallowindTheme::Typography::body());
    setAccessibleName(QStringLiteral("Settings not saved"));
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    connect(&Defaults::changes(), &Defaults::ChangeSignal::unsavedChanged, this, &UnsavedSettingsNotice::refresh);
    restyle();
    refresh();
}

void UnsavedSettingsNotice::refresh()
{
    const QString reason = Defaults::unsavedReason();
    const QString message = reason.isEmpty()
        ? QString()
        : QStringLiteral("Settings could not be saved: %1. Your changes are kept and saved with the next change.")
              .arg(reason);
    const bool news = !message.isEmpty() && message != text();
    setText(message);
    setAccessibleDescription(message);
    setVisible(!reason.isEmpty());
    // A screen reader hears it when it appears, wherever the focus is.
    if (news && isVisible()) {
        QAccessibleEvent alert(this, QAccessible::Alert);
        QAccessible::updateAccessibility(&alert);
    }
}

void UnsavedSettingsNotice::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        restyle();
    QLabel::changeEvent(event);
}

void UnsavedSettingsNotice::restyle()
{
    QPalette ink = palette();
    const QColor colour = TallowindTheme::Colors::destructiveColor(ink);
    if (ink.color(QPalette::WindowText) == colour)
        return;
    ink.setColor(QPalette::WindowText, colour);
    setPalette(ink);
}

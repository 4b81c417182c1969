#include "settings/shortcuts/KeyboardShortcutCaptureView.h"

#include "core/input/KeyboardShortcutManager.h"
#include "core/input/QtKeyCodes.h"
#include "core/input/TakenShortcuts.h"
#include "settings/shortcuts/ShortcutCaptureHost.h"
#include "shell/theme/TallowindTheme.h"

#include <QApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace {

constexpr int minimumButtonWidth = 96;

// The one row that captures now; a row clears it when it stops or goes.
KeyboardShortcutCaptureView* armed = nullptr;

} // namespace

KeyboardShortcutCaptureView::KeyboardShortcutCaptureView(ShortcutAction action, ShortcutReader shortcut,
    ShortcutWriter setShortcut, ShortcutCaptureHost* captureHost, QWidget* parent)
    : QWidget(parent),
      shortcutAction(action),
      readShortcut(std::move(shortcut)),
      writeShortcut(std::move(setShortcut)),
      host(captureHost)
{
    name = new QLabel(action.displayName(), this);
    button = new QPushButton(this);
    button->setAccessibleName(action.displayName() + QStringLiteral(" shortcut"));
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(
        TallowindTheme::Typography::body().pixelSize() > 0 ? TallowindTheme::Typography::body().pixelSize() : 14);
    button->setFont(mono);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, &KeyboardShortcutCaptureView::buttonClicked);

    cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setFlat(true);
    cancel->setCursor(Qt::PointingHandCursor);
    cancel->setFont(TallowindTheme::Typography::caption());
    cancel->setAccessibleName(QStringLiteral("Cancel"));
    cancel->setAutoDefault(false);
    cancel->hide();
    connect(cancel, &QPushButton::clicked, this, &KeyboardShortcutCaptureView::stopCapturing);

    // Another program holds the shortcut: it cannot fire until changed.
    takenMark = new QLabel(TakenShortcuts::markText(), this);
    takenMark->setFont(TallowindTheme::Typography::caption());
    takenMark->setAccessibleName(TakenShortcuts::markText());
    takenMark->hide();

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(name);
    row->addStretch(1);
    row->addWidget(takenMark);
    row->addWidget(button);
    row->addWidget(cancel);
    name->setBuddy(button);
    // Leaving the application must not leave the global shortcuts suspended.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive)
            stopCapturing();
    });
    refresh();
}

KeyboardShortcutCaptureView::~KeyboardShortcutCaptureView()
{
    stopCapturing();
}

void KeyboardShortcutCaptureView::buttonClicked()
{
    if (capturing)
        stopCapturing();
    else
        startCapturing();
}

void KeyboardShortcutCaptureView::startCapturing()
{
    if (capturing)
        return;
    if (armed && armed != this)
        armed->stopCapturing();
    armed = this;
    decision = {};
    qApp->installEventFilter(this);
    if (host)
        host->setGlobalShortcutsSuspended(true);
    setCapturing(true);
}

void KeyboardShortcutCaptureView::stopCapturing()
{
    if (!capturing)
        return;
    qApp->removeEventFilter(this);
    if (armed == this)
        armed = nullptr;
    if (host)
        host->setGlobalShortcutsSuspended(false);
    setCapturing(false);
}

void KeyboardShortcutCaptureView::setCapturing(bool value)
{
    capturing = value;
    cancel->setVisible(value);
    refresh();
    emit isCapturingChanged(value);
}

void KeyboardShortcutCaptureView::refresh()
{
    const KeyboardShortcut shortcut = readShortcut();
    const QString title = capturing ? QStringLiteral("Press keys...") : shortcut.displayString();
    const bool taken = !capturing && host && host->isShortcutTaken(shortcut);
    button->setText(title);
    // Monospaced glyphs fill their cells to the edge, so the style's narrow
    // margin leaves the text touching the border: keep a clear inner margin.
    const int padding = static_cast<int>(TallowindTheme::Spacing::small);
    button->setMinimumWidth(std::max(minimumButtonWidth, button->fontMetrics().horizontalAdvance(title) + 2 * padding));
    button->setAccessibleDescription(capturing ? title
            : taken ? TakenShortcuts::markText() + QStringLiteral(". Click to change: ") + title
                    : QStringLiteral("Click to change: ") + title);
    takenMark->setVisible(taken);
    QPalette warning = takenMark->palette();
    warning.setColor(QPalette::WindowText, TallowindTheme::Colors::destructiveColor(palette()));
    takenMark->setPalette(warning);
    QPalette colours = button->palette();
    colours.setColor(QPalette::ButtonText,
        capturing ? TallowindTheme::Colors::accentColor(palette()) : TallowindTheme::Colors::textPrimary(palette()));
    button->setPalette(colours);
    QPalette link = cancel->palette();
    link.setColor(QPalette::ButtonText, TallowindTheme::Colors::accentColor(palette()));
    cancel->setPalette(link);
}

void KeyboardShortcutCaptureView::accept(const KeyboardShortcut& shortcut)
{
    // Another program holds it: the old shortcut stays.
    if (host && host->refuseTakenShortcut(shortcut)) {
        stopCapturing();
        return;
    }
    if (writeShortcut)
        writeShortcut(shortcut);
    KeyboardShortcutManager::shared().updateShortcut(shortcutAction, shortcut);
    stopCapturing();
}

bool KeyboardShortcutCaptureView::eventFilter(QObject* watched, QEvent* event)
{
    if (!capturing)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // No application shortcut may act on a key being captured.
        event->accept();
        return true;
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->isAutoRepeat())
            return true;
        if (const auto shortcut = decision.keyPressed(key->key(), key->modifiers())) {
            accept(*shortcut);
            return true;
        }
        // A lone modifier passes on; any other key is taken.
        return !QtKeyCodes::modifierFlagForKey(key->key()).has_value();
    }
    case QEvent::KeyRelease: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->isAutoRepeat())
            return true;
        if (const auto shortcut = decision.keyReleased(key->key(), key->modifiers())) {
            accept(*shortcut);
            return true;
        }
        return false;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void KeyboardShortcutCaptureView::hideEvent(QHideEvent* event)
{
    // A closed window must not leave the global shortcuts suspended.
    stopCapturing();
    QWidget::hideEvent(event);
}

void KeyboardShortcutCaptureView::showEvent(QShowEvent* event)
{
    // Whether another program holds the shortcut may have changed meanwhile.
    refresh();
    QWidget::showEvent(event);
}

void KeyboardShortcutCaptureView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        refresh();
    QWidget::changeEvent(event);
}

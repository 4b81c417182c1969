#include "settings/tabs/AdvancedTab.h"

#include "core/input/KeyboardShortcutManager.h"
#include "core/input/TakenShortcuts.h"
#include "settings/SettingsViewModel.h"
#include "settings/shortcuts/KeyboardShortcutCaptureView.h"
#include "settings/shortcuts/ShortcutCaptureHost.h"
#include "settings/tabs/SettingsTabParts.h"
#include "shell/theme/TallowindTheme.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

using namespace TallowindTheme;
using SettingsTabParts::SecondaryLabel;

namespace {

// The rounded, faintly filled box that holds the shortcut rows.
class ShortcutBox : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25), Radius::small, Radius::small);
        QColor fill = palette().color(QPalette::Base);
        fill.setAlphaF(static_cast<float>(Effects::glassMaterial * 0.6));
        painter.fillPath(shape, fill);
        QColor rim = palette().color(QPalette::WindowText);
        rim.setAlphaF(0.12f);
        painter.setPen(QPen(rim, 0.5));
        painter.drawPath(shape);
    }
};

} // namespace

// The view model's capture host as it is when asked: the controller hands it
// over after the Settings view has built its tabs. The host that was told
// to suspend is the one told to resume, even when the model has gone first.
class SettingsAdvancedTabView::LateCaptureHost final : public ShortcutCaptureHost {
public:
    explicit LateCaptureHost(SettingsViewModel* viewModel) : model(viewModel) { }

    void setGlobalShortcutsSuspended(bool suspended) override
    {
        if (suspended)
            suspendedHost = current();
        if (suspendedHost)
            suspendedHost->setGlobalShortcutsSuspended(suspended);
        if (!suspended)
            suspendedHost = nullptr;
    }
    bool refuseTakenShortcut(const KeyboardShortcut& shortcut) override
    {
        ShortcutCaptureHost* host = current();
        return host && host->refuseTakenShortcut(shortcut);
    }
    bool isShortcutTaken(const KeyboardShortcut& shortcut) const override
    {
        const ShortcutCaptureHost* host = current();
        return host && host->isShortcutTaken(shortcut);
    }

private:
    ShortcutCaptureHost* current() const { return model ? model->shortcutCaptureHost() : nullptr; }

    QPointer<SettingsViewModel> model;
    ShortcutCaptureHost* suspendedHost = nullptr;
};

namespace {

QVBoxLayout* section(QVBoxLayout* into)
{
    auto* column = new QVBoxLayout;
    column->setSpacing(12);
    into->addLayout(column);
    return column;
}

QPushButton* linkButton(const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setFont(Typography::caption());
    button->setAutoDefault(false);
    QPalette colours = button->palette();
    colours.setColor(QPalette::ButtonText, Colors::accentColor(parent->palette()));
    button->setPalette(colours);
    return button;
}

} // namespace

SettingsAdvancedTabView::SettingsAdvancedTabView(SettingsViewModel* model, QWidget* parent)
    : QWidget(parent), viewModel(model), captureHost(std::make_unique<LateCaptureHost>(model))
{
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(24);

    // Live transcription preview.
    QVBoxLayout* preview = section(column);
    preview->addWidget(SettingsTabParts::headline(QStringLiteral("Live Transcription Preview"), content));
    streaming = new QCheckBox(QStringLiteral("Enable streaming mode (uses on-device speech recognition)"), content);
    preview->addWidget(streaming);
    preview->addWidget(new SecondaryLabel(QStringLiteral("When enabled, shows live transcription preview while "
                                                         "recording. Final transcription still uses Whisper."),
        Typography::caption(), content));
    column->addWidget(new SettingsTabParts::Divider(content));

    // Keyboard shortcuts.
    QVBoxLayout* shortcuts = section(column);
    shortcuts->addWidget(SettingsTabParts::headline(QStringLiteral("Keyboard Shortcuts"), content));
    auto* box = new ShortcutBox(content);
    auto* boxRows = new QVBoxLayout(box);
    boxRows->setContentsMargins(12, 12, 12, 12);
    boxRows->setSpacing(12);
    KeyboardShortcutManager& manager = KeyboardShortcutManager::shared();
    const QList<ShortcutAction> actions = ShortcutAction::allCases();
    for (int i = 0; i < actions.size(); ++i) {
        const ShortcutAction action = actions.at(i);
        auto* row = new KeyboardShortcutCaptureView(
            action, [&manager, action] { return manager.shortcut(action); },
            [&manager, action](const KeyboardShortcut& shortcut) { manager.updateShortcut(action, shortcut); },
            captureHost.get(), box);
        rows.append(row);
        boxRows->addWidget(row);
        if (i + 1 < actions.size())
            boxRows->addWidget(new SettingsTabParts::Divider(box, 0.06));
    }
    shortcuts->addWidget(box);
    resetShortcuts = linkButton(QStringLiteral("Reset Shortcuts"), content);
    connect(resetShortcuts, &QPushButton::clicked, &manager, &KeyboardShortcutManager::resetToDefaults);
    auto* resetRow = new QHBoxLayout;
    resetRow->addStretch(1);
    resetRow->addWidget(resetShortcuts);
    shortcuts->addLayout(resetRow);
    // Every change of the table, from here or elsewhere, shows at once; so
    // does every change of the shortcuts another program holds, which the
    // controller may learn only after the rows have heard of the table.
    const auto refreshRows = [this] {
        for (KeyboardShortcutCaptureView* row : rows)
            row->refresh();
    };
    connect(&manager, &KeyboardShortcutManager::shortcutsChanged, this, refreshRows);
    takenShortcutsChanges = NotificationObservation(
        TakenShortcuts::changedNotification, [refreshRows](const Notification&) { refreshRows(); });
    column->addWidget(new SettingsTabParts::Divider(content));

    // Voice activity detection.
    QVBoxLayout* detection = section(column);
    detection->addWidget(SettingsTabParts::headline(QStringLiteral("Voice Activity Detection"), content));
    voiceActivity = new QCheckBox(QStringLiteral("Enable voice activity detection"), content);
    detection->addWidget(voiceActivity);
    detection->addWidget(new SecondaryLabel(QStringLiteral("When enabled, removes silence from recordings to improve "
                                                           "transcription speed. Disable if words are being cut off."),
        Typography::caption(), content));
    column->addWidget(new SettingsTabParts::Divider(content));

    resetDefaults = new QPushButton(QStringLiteral("Reset to Defaults"), content);
    resetDefaults->setAutoDefault(false);
    connect(resetDefaults, &QPushButton::clicked, this, &SettingsAdvancedTabView::askToReset);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(resetDefaults);
    column->addLayout(bottom);
    column->addStretch(1);

    // The switches show the model's values and change only through it.
    connect(streaming, &QCheckBox::toggled, viewModel, &SettingsViewModel::updateEnableStreamingMode);
    connect(voiceActivity, &QCheckBox::toggled, viewModel, &SettingsViewModel::updateEnableVoiceActivityDetection);
    auto followStreaming = [this](bool on) {
        const QSignalBlocker quiet(streaming);
        streaming->setChecked(on);
    };
    auto followDetection = [this](bool on) {
        const QSignalBlocker quiet(voiceActivity);
        voiceActivity->setChecked(on);
    };
    connect(viewModel, &SettingsViewModel::enableStreamingModeChanged, this, followStreaming);
    connect(viewModel, &SettingsViewModel::enableVoiceActivityDetectionChanged, this, followDetection);
    followStreaming(viewModel->enableStreamingMode());
    followDetection(viewModel->enableVoiceActivityDetection());

    auto* scroll = new QScrollArea(this);
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    // Tab moves through the controls, and the area scrolls to each; the
    // area and its bar are no stops of their own.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setAccessibleName(QStringLiteral("Advanced settings"));
    scroll->verticalScrollBar()->setFocusPolicy(Qt::NoFocus);
    scroll->verticalScrollBar()->setAccessibleName(QStringLiteral("Scroll advanced settings"));
    content->setAutoFillBackground(false);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->addWidget(scroll);
}

SettingsAdvancedTabView::~SettingsAdvancedTabView()
{
    // The rows resume the global shortcuts as they go, through the host,
    // which may then report taken shortcuts to rows already gone.
    takenShortcutsChanges.reset();
    qDeleteAll(rows);
}

void SettingsAdvancedTabView::askToReset()
{
    if (confirmation)
        return;
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Reset Settings"),
        QStringLiteral("Are you sure you want to reset all advanced settings to their "
                       "default values?"),
        QMessageBox::NoButton, this);
    SettingsTabParts::confirmDestructive(
        confirmation, box, QStringLiteral("Reset"), [this] { viewModel->resetToDefaults(); });
}

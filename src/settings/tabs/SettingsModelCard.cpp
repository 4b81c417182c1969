#include "settings/tabs/SettingsModelCard.h"

#include "settings/tabs/DownloadProgressBar.h"
#include "settings/tabs/LineLimitedLabel.h"
#include "settings/tabs/SettingsAccessibility.h"
#include "settings/tabs/SettingsStyle.h"
#include "settings/tabs/SettingsTabParts.h"
#include "shell/theme/Appearance.h"
#include "shell/theme/SymbolIcons.h"
#include "shell/theme/TallowindTheme.h"

#include <algorithm>

#include <QEnterEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

using SettingsStyle::withAlpha;

namespace {

// The thin material the plate stands for has no blur here: a whitish veil,
// fainter over a dark window, whose strength follows the plate's opacity.
QColor materialColour(const QPalette& palette, double opacity)
{
    const bool dark = colorSchemeOf(palette) == ColorScheme::dark;
    return QColor::fromRgbF(1, 1, 1, static_cast<float>(opacity * (dark ? 0.08 : 0.55)));
}

// The download size on a capsule of faint secondary colour.
class SizeBadge : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(withAlpha(TallowindTheme::Colors::textSecondary(palette()), 0.2));
        const QRectF capsule = QRectF(rect());
        painter.drawRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
        painter.end();
        QLabel::paintEvent(event);
    }
};

// A borderless icon button that shows keyboard focus with an accent ring,
// which the flat style does not draw.
class IconButton : public QToolButton {
public:
    using QToolButton::QToolButton;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QToolButton::paintEvent(event);
        if (!hasFocus())
            return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(TallowindTheme::Colors::accentColor(palette()), 2));
        const QRectF ring = QRectF(rect()).adjusted(1, 1, -1, -1);
        painter.drawRoundedRect(ring, ring.height() / 2, ring.height() / 2);
    }
};

QToolButton* makeIconButton(const QString& tooltip, QWidget* parent)
{
    auto* button = new IconButton(parent);
    button->setAutoRaise(true);
    button->setToolTip(tooltip);
    button->setAccessibleName(tooltip);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

QIcon stopIcon(qreal dpr)
{
    const int side = 24;
    QPixmap canvas(QSize(side, side) * dpr);
    canvas.setDevicePixelRatio(dpr);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(TallowindTheme::Colors::destructiveColor());
    painter.drawEllipse(QRectF(0, 0, side, side));
    const int glyph = 10;
    painter.drawPixmap(QRect((side - glyph) / 2, (side - glyph) / 2, glyph, glyph),
        SymbolIcons::pixmap(QStringLiteral("stop.fill"), glyph, SymbolTint::mono(Qt::white), dpr));
    return QIcon(canvas);
}

} // namespace

SettingsModelCard::SettingsModelCard(
    WhisperModel model, bool isSelected, const DownloadStatus& downloadStatus, Actions cardActions, QWidget* parent)
    : QWidget(parent),
      modelValue(model),
      selectedValue(isSelected),
      status(downloadStatus),
      actions(std::move(cardActions)),
      hover(this)
{
    // Before anything that makes Qt build the card's interface.
    SettingsAccessibility::install();
    setAccessibleName(model.displayName());
    buildContent();
    refresh();
}

QWidget* SettingsModelCard::selectionIndicator() const
{
    return indicator;
}

void SettingsModelCard::choose()
{
    if (isDownloaded() && actions.onSelect)
        actions.onSelect();
}

void SettingsModelCard::buildContent()
{
    auto* row = new QHBoxLayout(this);
    const int padding = 16 + plateInset;
    row->setContentsMargins(padding, padding, padding, padding);
    row->setSpacing(16);

    indicator = new QLabel(this);
    indicator->setFixedWidth(20);
    indicator->setAlignment(Qt::AlignCenter);
    row->addWidget(indicator);

    auto* info = new QVBoxLayout;
    info->setSpacing(4);
    auto* heading = new QHBoxLayout;
    heading->setSpacing(8);
    auto* name = new QLabel(modelValue.displayName(), this);
    name->setFont(SettingsStyle::font(14, QFont::Medium));
    heading->addWidget(name);
    auto* badge = new SizeBadge(modelValue.estimatedSize(), this);
    badge->setFont(SettingsStyle::font(11));
    badge->setContentsMargins(6, 2, 6, 2);
    heading->addWidget(badge);
    heading->addStretch(1);
    info->addLayout(heading);

    // At most two lines, however narrow the progress bar leaves it.
    descriptionLabel = new LineLimitedLabel(modelValue.description(), 2, this);
    descriptionLabel->setFont(SettingsStyle::font(12));
    info->addWidget(descriptionLabel);

    // A failed download or deletion says why; the card still offers Download.
    errorLabel = new QLabel(this);
    errorLabel->setFont(SettingsStyle::font(11));
    errorLabel->setWordWrap(true);
    errorLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    info->addWidget(errorLabel);
    row->addLayout(info, 1);

    progressArea = new QWidget(this);
    auto* progressRow = new QHBoxLayout(progressArea);
    progressRow->setContentsMargins(0, 0, 0, 0);
    progressRow->setSpacing(12);
    progress = new DownloadProgressBar(progressArea);
    progress->setRange(0, 1000);
    progress->setFixedWidth(200);
    progress->setAccessibleName(QStringLiteral("Download progress"));
    progressRow->addWidget(progress);
    const QString modelName = modelValue.displayName();
    stopAction = makeIconButton(QStringLiteral("Stop download"), progressArea);
    stopAction->setAccessibleName(QStringLiteral("Stop Downloading ") + modelName);
    stopAction->setIconSize(QSize(24, 24));
    progressRow->addWidget(stopAction);
    row->addWidget(progressArea);

    // Every card has these buttons: each is named after its model.
    deleteAction = makeIconButton(QStringLiteral("Delete model"), this);
    deleteAction->setAccessibleName(QStringLiteral("Delete ") + modelName);
    deleteAction->setIconSize(QSize(16, 16));
    row->addWidget(deleteAction);
    downloadAction = makeIconButton(QStringLiteral("Download model"), this);
    downloadAction->setAccessibleName(QStringLiteral("Download ") + modelName);
    downloadAction->setIconSize(QSize(20, 20));
    row->addWidget(downloadAction);

    connect(stopAction, &QToolButton::clicked, this, [this] {
        if (actions.onCancel)
            actions.onCancel();
    });
    connect(downloadAction, &QToolButton::clicked, this, [this] {
        if (actions.onDownload)
            actions.onDownload();
    });
    connect(deleteAction, &QToolButton::clicked, this, &SettingsModelCard::showDeleteConfirmation);
    refreshIcons();
}

void SettingsModelCard::refreshIcons()
{
    const qreal dpr = devicePixelRatioF();
    const QPalette& colours = palette();
    const QColor accent = TallowindTheme::Colors::accentColor(colours);
    indicator->setPixmap(
        SymbolIcons::pixmap(selectedValue ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("circle"), 20,
            SymbolTint::mono(selectedValue ? accent : TallowindTheme::Colors::textSecondary(colours)), dpr));
    stopAction->setIcon(stopIcon(dpr));
    deleteAction->setIcon(
        SymbolIcons::icon(QStringLiteral("trash"), SymbolTint::mono(TallowindTheme::Colors::destructiveColor())));
    downloadAction->setIcon(SymbolIcons::icon(QStringLiteral("arrow.down.circle.fill"), SymbolTint::mono(accent)));
    QPalette secondaryColours = descriptionLabel->palette();
    secondaryColours.setColor(QPalette::WindowText, TallowindTheme::Colors::textSecondary(colours));
    descriptionLabel->setPalette(secondaryColours);
    QPalette errorColours = errorLabel->palette();
    errorColours.setColor(QPalette::WindowText, TallowindTheme::Colors::destructiveColor(colours));
    errorLabel->setPalette(errorColours);
}

void SettingsModelCard::setSelected(bool selected)
{
    const bool changed = selected != selectedValue;
    selectedValue = selected;
    refresh();
    if (changed) {
        QAccessible::State state;
        state.checked = true;
        SettingsAccessibility::announceState(this, state);
    }
}

void SettingsModelCard::setDownloadStatus(const DownloadStatus& value)
{
    status = value;
    refresh();
}

void SettingsModelCard::refresh()
{
    const DownloadStatus::Kind kind = status.kind();
    const bool downloading = kind == DownloadStatus::Kind::downloading;
    progressArea->setVisible(downloading);
    if (downloading)
        progress->setValue(qRound(std::clamp(status.progress(), 0.0f, 1.0f) * 1000.0f));
    deleteAction->setVisible(kind == DownloadStatus::Kind::downloaded);
    downloadAction->setVisible(kind == DownloadStatus::Kind::notDownloaded || kind == DownloadStatus::Kind::error);
    errorLabel->setText(kind == DownloadStatus::Kind::error ? status.message() : QString());
    errorLabel->setVisible(kind == DownloadStatus::Kind::error && !status.message().isEmpty());

    setAccessibleDescription(modelValue.description());

    // Only a downloaded model can be chosen, by click or keyboard.
    setFocusPolicy(isDownloaded() ? Qt::StrongFocus : Qt::NoFocus);
    setCursor(isDownloaded() ? Qt::PointingHandCursor : Qt::ArrowCursor);
    if (!isDownloaded() && hasFocus())
        focusNextChild();
    refreshIcons();
    update();
}

QRect SettingsModelCard::plateRect() const
{
    return rect().adjusted(plateInset, plateInset, -plateInset, -plateInset);
}

void SettingsModelCard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& colours = palette();
    const double radius = TallowindTheme::Radius::medium;
    const double hovered = isDownloaded() ? hover.value() : 0.0;

    QRectF plate = QRectF(plateRect());
    // Only the plate grows on hover; the content keeps its size.
    const double scale = 1.0 + 0.01 * hovered;
    const QPointF centre = plate.center();
    plate = QRectF(centre.x() - plate.width() * scale / 2, centre.y() - plate.height() * scale / 2,
        plate.width() * scale, plate.height() * scale);
    QPainterPath shape;
    shape.addRoundedRect(plate, radius, radius);

    painter.fillPath(shape, materialColour(colours, isDownloaded() ? 0.9 : 0.6));
    if (selectedValue) {
        const QColor accent = TallowindTheme::Colors::accentColor(colours);
        QLinearGradient tint(plate.topLeft(), plate.bottomRight());
        tint.setColorAt(0, withAlpha(accent, 0.15));
        tint.setColorAt(1, withAlpha(accent, 0.05));
        painter.fillPath(shape, tint);
    }
    if (hovered > 0.0)
        painter.fillPath(shape, withAlpha(Qt::white, 0.05 * hovered));

    QLinearGradient rim(plate.topLeft(), plate.bottomRight());
    rim.setColorAt(0, withAlpha(Qt::white, selectedValue ? 0.3 : 0.15));
    rim.setColorAt(1, withAlpha(Qt::white, 0.05));
    painter.setPen(QPen(QBrush(rim), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(plate.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);

    if (hasFocus()) {
        painter.setPen(QPen(TallowindTheme::Colors::accentColor(colours), 2));
        painter.drawRoundedRect(plate.adjusted(1, 1, -1, -1), radius - 1, radius - 1);
    }
}

void SettingsModelCard::enterEvent(QEnterEvent* event)
{
    if (isDownloaded())
        hover.setOn(true);
    QWidget::enterEvent(event);
}

void SettingsModelCard::leaveEvent(QEvent* event)
{
    // Cleared whatever the status, so a card that becomes downloaded later
    // does not come up hovered with the pointer elsewhere.
    hover.setOn(false);
    QWidget::leaveEvent(event);
}

void SettingsModelCard::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && isDownloaded() && plateRect().contains(event->position().toPoint())) {
        choose();
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void SettingsModelCard::keyPressEvent(QKeyEvent* event)
{
    const bool activates =
        event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (activates && isDownloaded()) {
        choose();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SettingsModelCard::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange && indicator)
        refreshIcons();
    QWidget::changeEvent(event);
}

void SettingsModelCard::showDeleteConfirmation()
{
    if (confirmation)
        return;
    auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Delete Model"), QStringLiteral("Delete Model"),
        QMessageBox::NoButton, this);
    box->setInformativeText(QStringLiteral("Are you sure you want to delete ") + modelValue.displayName()
        + QStringLiteral("? This action cannot be undone."));
    SettingsTabParts::confirmDestructive(confirmation, box, QStringLiteral("Delete"), [this] {
        if (actions.onDelete)
            actions.onDelete();
    });
}

#include "popover/ModelPickerPopup.h"

#include "popover/FocusRing.h"
#include "popover/TintedStrip.h"

#include "shell/theme/SymbolIcons.h"
#include "shell/theme/TallowindTheme.h"
#include "shell/theme/WindowShape.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

namespace {

constexpr int rowHorizontalPadding = 12;
constexpr int rowVerticalPadding = 6;
constexpr int rowSpacing = 4;
constexpr int popupVerticalPadding = 8;

QFont rowFont(const QFont& base)
{
    QFont font = base;
    font.setPixelSize(ModelRowButton::fontPixelSize);
    font.setWeight(QFont::Normal);
    return font;
}

// "Manage Models...": a plain text button of the same size as the rows.
class ManageModelsButton : public QAbstractButton {
public:
    explicit ManageModelsButton(QWidget* parent) : QAbstractButton(parent)
    {
        setText(QStringLiteral("Manage Models..."));
        setAccessibleName(text());
        setFocusPolicy(Qt::StrongFocus);
        setCursor(Qt::PointingHandCursor);
        setFont(rowFont(font()));
    }
    QSize sizeHint() const override
    {
        return {fontMetrics().horizontalAdvance(text()) + 2 * rowHorizontalPadding,
            fontMetrics().height() + 2 * rowVerticalPadding};
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(TallowindTheme::Colors::textPrimary(palette()));
        painter.setFont(font());
        painter.drawText(rect().adjusted(rowHorizontalPadding, 0, -rowHorizontalPadding, 0),
            Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, text());
        if (FocusRing::wanted(this))
            FocusRing::paint(painter, QRectF(rect()), 4.0, palette());
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            click();
            return;
        }
        QAbstractButton::keyPressEvent(event);
    }
};

} // namespace

ModelRowButton::ModelRowButton(const WhisperModelInfo& row, QWidget* parent) : QAbstractButton(parent), info(row)
{
    setText(info.displayName);
    setFont(rowFont(font()));
    setFocusPolicy(Qt::StrongFocus);
    setEnabled(info.isDownloaded);
    setCursor(info.isDownloaded ? Qt::PointingHandCursor : Qt::ArrowCursor);
    setAccessibleName(info.displayName);
    setAccessibleDescription(info.isActive ? QStringLiteral("Active model")
            : info.isDownloaded            ? QStringLiteral("Downloaded")
                                           : QStringLiteral("Not downloaded"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize ModelRowButton::sizeHint() const
{
    return {minimumLabelWidth + 2 * rowHorizontalPadding, fontMetrics().height() + 2 * rowVerticalPadding};
}

void ModelRowButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // A model not on disk is disabled, but reads in the ordinary secondary
    // colour, not the fainter disabled one.
    QPalette colours = palette();
    colours.setCurrentColorGroup(QPalette::Active);
    const QColor accent = TallowindTheme::Colors::accentColor(colours);
    if (info.isActive) {
        QColor background = accent;
        background.setAlphaF(0.1F);
        painter.fillRect(rect(), background);
    }
    const QRect area = rect().adjusted(rowHorizontalPadding, 0, -rowHorizontalPadding, 0);
    painter.setPen(info.isDownloaded ? TallowindTheme::Colors::textPrimary(colours)
                                     : TallowindTheme::Colors::textSecondary(colours));
    painter.setFont(font());
    painter.drawText(area, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, info.displayName);
    if (info.isActive) {
        const QPixmap check = SymbolIcons::pixmap(
            QStringLiteral("checkmark"), checkmarkSize, SymbolTint::mono(accent), devicePixelRatioF());
        const QRectF target(area.right() - checkmarkSize + 1, area.center().y() - checkmarkSize / 2.0 + 0.5,
            checkmarkSize, checkmarkSize);
        painter.drawPixmap(target, check, QRectF(check.rect()));
    }
    if (FocusRing::wanted(this))
        FocusRing::paint(painter, QRectF(rect()), 4.0, palette());
}

void ModelRowButton::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

ModelPickerPopup::ModelPickerPopup(QWidget* parent)
    : QFrame(parent, Qt::Popup | Qt::FramelessWindowHint), manageButton(new ManageModelsButton(this))
{
    WindowShape::apply(this, TallowindTheme::Radius::small);
    setAccessibleName(QStringLiteral("Models"));
    setFixedWidth(popupWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, popupVerticalPadding, 0, popupVerticalPadding);
    layout->setSpacing(rowSpacing);
    rowLayout = new QVBoxLayout;
    rowLayout->setContentsMargins(0, 0, 0, 0);
    rowLayout->setSpacing(rowSpacing);
    layout->addLayout(rowLayout);
    auto* divider = new TintedStrip(
        [](const QPalette& palette) {
            QColor line = TallowindTheme::Colors::textPrimary(palette);
            line.setAlphaF(0.15F);
            return line;
        },
        this);
    divider->setFixedHeight(1);
    layout->addWidget(divider);
    layout->addWidget(manageButton);
    connect(manageButton, &QAbstractButton::clicked, this, [this] {
        emit manageModelsRequested();
        close();
    });
}

void ModelPickerPopup::setModels(const QList<WhisperModelInfo>& models)
{
    qDeleteAll(rows);
    rows.clear();
    QWidget* previous = nullptr;
    for (const WhisperModelInfo& model : models) {
        auto* button = new ModelRowButton(model, this);
        rowLayout->addWidget(button);
        rows.append(button);
        // Clicks on a model that is not on disk never get here: its row is
        // disabled.
        connect(button, &QAbstractButton::clicked, this, [this, button] {
            const WhisperModelInfo chosen = button->row();
            if (!chosen.isDownloaded)
                return;
            emit modelChosen(chosen);
            close();
        });
        if (previous)
            setTabOrder(previous, button);
        previous = button;
    }
    if (previous)
        setTabOrder(previous, manageButton);
    adjustSize();
}

void ModelPickerPopup::popUp(QWidget* anchor)
{
    adjustSize();
    QPoint origin = anchor->mapToGlobal(QPoint(0, anchor->height() + 4));
    if (const QScreen* screen = anchor->screen()) {
        const QRect available = screen->availableGeometry();
        origin.setX(std::clamp(origin.x(), available.left(), std::max(available.left(), available.right() - width())));
        if (origin.y() + height() > available.bottom())
            origin.setY(anchor->mapToGlobal(QPoint(0, 0)).y() - height() - 4);
    }
    move(origin);
    show();
    activateWindow();
    QWidget* focusTarget = manageButton;
    for (ModelRowButton* row : rows) {
        if (row->isEnabled() && (row->row().isActive || focusTarget == manageButton))
            focusTarget = row;
    }
    focusTarget->setFocus(Qt::PopupFocusReason);
}

void ModelPickerPopup::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1.0));
    painter.setBrush(palette().color(QPalette::Window));
    painter.drawRoundedRect(
        QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), TallowindTheme::Radius::small, TallowindTheme::Radius::small);
}

void ModelPickerPopup::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Down || event->key() == Qt::Key_Up) {
        focusNextPrevChild(event->key() == Qt::Key_Down);
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QFrame::keyPressEvent(event);
}

void ModelPickerPopup::hideEvent(QHideEvent* event)
{
    QFrame::hideEvent(event);
    emit closed();
}

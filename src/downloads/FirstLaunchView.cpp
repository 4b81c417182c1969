#include "downloads/FirstLaunchView.h"

#include "downloads/FirstLaunchViewModel.h"
#include "shell/theme/GlassButton.h"
#include "shell/theme/GlassmorphismView.h"
#include "shell/theme/SymbolIcons.h"
#include "shell/theme/TallowindTheme.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

int px(double points)
{
    return static_cast<int>(points);
}

void setInk(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

} // namespace

FirstLaunchView::FirstLaunchView(std::function<void()> onComplete, QWidget* parent)
    : FirstLaunchView(std::move(onComplete), nullptr, parent)
{
}

FirstLaunchView::FirstLaunchView(
    std::function<void()> onComplete, std::shared_ptr<ModelDownloads> downloads, QWidget* parent)
    : QWidget(parent), model(new FirstLaunchViewModel(std::move(onComplete), std::move(downloads), this))
{
    using namespace TallowindTheme;
    setAccessibleName(QStringLiteral("Welcome to tallowind"));
    glassBackground(this);

    // The close button sits over the top right corner.
    close = new QToolButton(this);
    close->setAccessibleName(QStringLiteral("Close"));
    close->setToolTip(QStringLiteral("Close"));
    close->setAutoRaise(true);
    close->setIconSize(QSize(16, 16));
    close->setCursor(Qt::PointingHandCursor);
    close->setFocusPolicy(Qt::StrongFocus);
    connect(close, &QToolButton::clicked, this, [this] { window()->close(); });

    auto* column = new QVBoxLayout(this);
    // 48 on every side. Above and below, the inset gives way where this
    // desktop's fonts make a state taller than the 340-pixel window allows
    // (the finished and failed states), rather than the text being cut.
    const int inset = px(Spacing::xxLarge);
    column->setContentsMargins(inset, 0, inset, 0);
    column->setSpacing(24);
    const auto yieldingInset = [inset] {
        return new QSpacerItem(0, inset, QSizePolicy::Minimum, QSizePolicy::Preferred);
    };
    column->addSpacerItem(yieldingInset());

    title = new QLabel(QStringLiteral("Welcome to tallowind"), this);
    title->setFont(Typography::largeTitle());
    title->setAlignment(Qt::AlignCenter);
    column->addWidget(title);

    // The size in parentheses stays on one line.
    description =
        new QLabel(model->descriptionText().replace(QStringLiteral(" MB)"), QStringLiteral("\u00a0MB)")), this);
    description->setFont(Typography::body());
    description->setAlignment(Qt::AlignCenter);
    description->setWordWrap(true);
    description->setMaximumWidth(400);
    description->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    column->addWidget(description, 0, Qt::AlignHCenter);

    auto* actions = new QVBoxLayout;
    actions->setSpacing(px(Spacing::medium));
    column->addLayout(actions);

    download = new GlassButton(
        model->downloadButtonTitle(), QStringLiteral("arrow.down.circle.fill"), [this] { model->startDownload(); },
        this);
    download->setAccessibleName(model->downloadButtonTitle());
    actions->addWidget(download, 0, Qt::AlignHCenter);

    progressArea = new QWidget(this);
    auto* progressColumn = new QVBoxLayout(progressArea);
    progressColumn->setContentsMargins(0, 0, 0, 0);
    progressColumn->setSpacing(8);
    bar = new QProgressBar(progressArea);
    bar->setAccessibleName(QStringLiteral("Download progress"));
    bar->setRange(0, 1000);
    bar->setTextVisible(false);
    bar->setFixedWidth(300);
    bar->setFixedHeight(6);
    progressColumn->addWidget(bar, 0, Qt::AlignHCenter);
    progressStatus = new QLabel(progressArea);
    progressStatus->setFont(Typography::caption());
    progressStatus->setAlignment(Qt::AlignCenter);
    progressColumn->addWidget(progressStatus, 0, Qt::AlignHCenter);
    actions->addWidget(progressArea);

    doneArea = new QWidget(this);
    auto* doneColumn = new QVBoxLayout(doneArea);
    doneColumn->setContentsMargins(0, 0, 0, 0);
    doneColumn->setSpacing(px(Spacing::medium));
    auto* doneRow = new QHBoxLayout;
    doneRow->setSpacing(px(Spacing::xSmall));
    doneRow->addStretch();
    doneSymbol = new QLabel(doneArea);
    doneRow->addWidget(doneSymbol);
    doneText = new QLabel(QStringLiteral("Download complete!"), doneArea);
    doneText->setFont(Typography::headline());
    doneRow->addWidget(doneText);
    doneRow->addStretch();
    doneColumn->addLayout(doneRow);
    proceed = new GlassButton(
        QStringLiteral("Continue"), QString(), [this] { model->continueToApp(); }, doneArea);
    proceed->setAccessibleName(QStringLiteral("Continue"));
    doneColumn->addWidget(proceed, 0, Qt::AlignHCenter);
    actions->addWidget(doneArea);

    failedArea = new QWidget(this);
    auto* failedColumn = new QVBoxLayout(failedArea);
    failedColumn->setContentsMargins(0, 0, 0, 0);
    failedColumn->setSpacing(px(Spacing::xSmall));
    failureStatus = new QLabel(failedArea);
    failureStatus->setFont(Typography::caption());
    failureStatus->setAlignment(Qt::AlignCenter);
    failureStatus->setWordWrap(true);
    failureStatus->setFixedWidth(480);
    failedColumn->addWidget(failureStatus, 0, Qt::AlignHCenter);
    retry = new QPushButton(QStringLiteral("Retry Download"), failedArea);
    retry->setAccessibleName(QStringLiteral("Retry Download"));
    retry->setFlat(true);
    retry->setCursor(Qt::PointingHandCursor);
    connect(retry, &QPushButton::clicked, this, [this] { model->startDownload(); });
    failedColumn->addWidget(retry, 0, Qt::AlignHCenter);
    actions->addWidget(failedArea);
    column->addSpacerItem(yieldingInset());

    connect(model, &FirstLaunchViewModel::isDownloadingChanged, this, &FirstLaunchView::refresh);
    connect(model, &FirstLaunchViewModel::downloadProgressChanged, this, &FirstLaunchView::refresh);
    connect(model, &FirstLaunchViewModel::downloadCompleteChanged, this, &FirstLaunchView::refresh);
    connect(model, &FirstLaunchViewModel::downloadFailedChanged, this, &FirstLaunchView::refresh);
    connect(model, &FirstLaunchViewModel::statusTextChanged, this, &FirstLaunchView::refresh);

    setTabOrder(download, proceed);
    setTabOrder(proceed, retry);
    setTabOrder(retry, close);
    restyle();
    refresh();
}

void FirstLaunchView::refresh()
{
    const bool downloading = model->isDownloading();
    const bool complete = model->downloadComplete();
    // A focus given to the window, or resting on the view, goes to the
    // state's action: a key press starts the download, and continues once
    // the model is in place, rather than closing the window unarmed. The
    // download has no action: the focus rests on the view, where a key does
    // nothing and Tab reaches the close button. Qt would pass the focus of a
    // control it hides on to the close button, and a hidden proxy would leave
    // the window without any.
    QWidget* action = complete ? static_cast<QWidget*>(proceed) : downloading ? nullptr : download;
    setFocusProxy(action);
    if (!action && focusWidget() && focusWidget() != close)
        setFocus(Qt::OtherFocusReason);
    download->setVisible(!downloading && !complete);
    progressArea->setVisible(downloading);
    bar->setValue(static_cast<int>(std::clamp(model->downloadProgress(), 0.0, 1.0) * 1000));
    progressStatus->setText(model->statusText());
    doneArea->setVisible(complete);
    failedArea->setVisible(model->downloadFailed());
    failureStatus->setText(model->statusText());
    if (action && focusWidget() == this)
        action->setFocus(Qt::OtherFocusReason);
    placeCloseButton();
}

void FirstLaunchView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeCloseButton();
}

// The close button stays in the top right corner, 12 pixels in.
void FirstLaunchView::placeCloseButton()
{
    close->adjustSize();
    close->move(width() - close->width() - 12, 12);
    close->raise();
}

void FirstLaunchView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        restyle();
    QWidget::changeEvent(event);
}

void FirstLaunchView::restyle()
{
    using namespace TallowindTheme;
    const QPalette scheme = palette();
    setInk(title, Colors::textPrimary(scheme));
    setInk(description, Colors::textSecondary(scheme));
    setInk(progressStatus, Colors::textSecondary(scheme));
    setInk(doneText, Colors::textPrimary(scheme));
    setInk(failureStatus, Colors::destructiveColor(scheme));
    setInk(retry, Colors::accentColor(scheme));
    close->setIcon(QIcon(SymbolIcons::pixmap(QStringLiteral("xmark.circle.fill"), 16,
        SymbolTint{Colors::textSecondary(scheme), {}, SymbolRendering::monochrome}, devicePixelRatioF())));
    doneSymbol->setPixmap(SymbolIcons::pixmap(QStringLiteral("checkmark.circle.fill"), 18,
        SymbolTint{Colors::successColor(), {}, SymbolRendering::monochrome}, devicePixelRatioF()));
}

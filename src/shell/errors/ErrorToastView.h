#pragma once

#include "core/config/TallowindError.h"

#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QToolButton;
class QVariantAnimation;
class QGraphicsOpacityEffect;

// A compact banner for one error: a warning symbol, the error's description
// on at most two lines and a close button. It slides in from the top and
// fades in; closing it (or, for an error that does not warrant an alert,
// five seconds passing) slides it out, and its owner hears of it through
// the dismissal callback 0.3 s later, at most once.
class ErrorToastView : public QWidget {
    Q_OBJECT

public:
    ErrorToastView(const TallowindError& error, std::function<void()> onDismiss, QWidget* parent = nullptr);
    ~ErrorToastView() override;

    static constexpr int autoDismissMs = 5000;
    static constexpr double transitionSeconds = 0.3;
    static constexpr int maximumLines = 2;
    static constexpr int preferredWidth = 360;
    // Room around the banner for its shadow.
    static constexpr int shadowMargin = 8;

    const TallowindError& error() const { return shownError; }
    // False once the toast has started to leave; it never comes back.
    bool isToastVisible() const { return toastVisible; }
    // The description as laid out.
    QStringList shownLines() const;
    QRect bannerRect() const;
    QToolButton* closeButton() const { return closer; }
    // Jumps to the end of a running transition.
    void finishTransition();

    QSize sizeHint() const override;

public slots:
    // Hides the toast and schedules the dismissal callback.
    void dismiss();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void applyPalette();
    void layoutBanner();
    void updateText();
    void animateTo(double target);
    int bannerHeight() const;

    TallowindError shownError;
    // Shared with the scheduled callback, so it runs once, even after the
    // view is gone.
    std::shared_ptr<std::function<void()>> dismissal;
    bool toastVisible = true;
    bool appeared = false;
    double progress = 0.0; // 0 off screen, 1 in place
    QWidget* banner = nullptr;
    QLabel* symbol = nullptr;
    QLabel* text = nullptr;
    QToolButton* closer = nullptr;
    QGraphicsOpacityEffect* fade = nullptr;
    QVariantAnimation* transition = nullptr;
};

#pragma once

#include <QWidget>

#include <functional>
#include <memory>

class FirstLaunchViewModel;
class ModelDownloads;
class GlassButton;
class QLabel;
class QProgressBar;
class QPushButton;
class QToolButton;

// The welcome window's content: what the tool needs, the download of the
// recommended model with its progress, and "Continue" once it is in place.
class FirstLaunchView : public QWidget {
    Q_OBJECT
public:
    explicit FirstLaunchView(std::function<void()> onComplete, QWidget* parent = nullptr);
    // Shows the downloads of `downloads`, a running one included.
    FirstLaunchView(
        std::function<void()> onComplete, std::shared_ptr<ModelDownloads> downloads, QWidget* parent = nullptr);

    FirstLaunchViewModel* viewModel() const { return model; }

    // The controls, for tests and screenshots.
    QToolButton* closeButton() const { return close; }
    GlassButton* downloadButton() const { return download; }
    QProgressBar* progressBar() const { return bar; }
    QLabel* progressLine() const { return progressStatus; }
    QWidget* completeArea() const { return doneArea; }
    GlassButton* continueButton() const { return proceed; }
    QLabel* errorLine() const { return failureStatus; }
    QPushButton* retryButton() const { return retry; }

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    void restyle();
    void placeCloseButton();

    FirstLaunchViewModel* model;
    QToolButton* close;
    QLabel* title;
    QLabel* description;
    GlassButton* download;
    QWidget* progressArea;
    QProgressBar* bar;
    QLabel* progressStatus;
    QWidget* doneArea;
    QLabel* doneSymbol;
    QLabel* doneText;
    GlassButton* proceed;
    QWidget* failedArea;
    QLabel* failureStatus;
    QPushButton* retry;
};

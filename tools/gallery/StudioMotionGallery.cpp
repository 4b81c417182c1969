// The popover studio's transitions, frame by frame, in light and dark: each
// transition is stopped at even steps of its length and the panel saved,
// the frames side by side in one picture per transition.
//
//   studio_motion_gallery DIR   saves studio-motion-*-light.png and -dark.png
#include "GalleryPalettes.h"
#include "GalleryPictures.h"
#include "popover/PopoverHost.h"
#include "popover/PopoverView.h"
#include "popover/PopoverViewModel.h"
#include "popover/StudioView.h"
#include "popover/TranscriptPreview.h"
#include "shell/tray/PopoverPanel.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QVariantAnimation>

#include <cstdio>
#include <functional>

namespace {

class PanelHost final : public PopoverHost {
public:
    explicit PanelHost(PopoverPanel& popover) : panel(popover) { }
    void resizePopoverPanel(bool expanded) override { panel.resizeKeepingTop(expanded); }
    void openSettings() override { }
    void startStudioRecording() override { }
    void stopStudioRecording() override { }
    bool isCapturing() const override { return false; }
    RecordingMode recordingMode() const override { return RecordingMode::studio; }

private:
    PopoverPanel& panel;
};

constexpr int frames = 6;

// Every running animation of the panel and its content held at `fraction`
// of its length.
void holdAt(QWidget& panel, double fraction)
{
    for (QVariantAnimation* animation : panel.findChildren<QVariantAnimation*>()) {
        if (animation->state() == QAbstractAnimation::Stopped)
            continue;
        animation->pause();
        animation->setCurrentTime(static_cast<int>(fraction * animation->duration()));
    }
    QApplication::processEvents();
}

void finishAll(QWidget& panel)
{
    for (QVariantAnimation* animation : panel.findChildren<QVariantAnimation*>())
        if (animation->state() != QAbstractAnimation::Stopped)
            animation->setCurrentTime(animation->duration());
    QApplication::processEvents();
}

// The frames of one transition side by side, over a calm backdrop, with
// the panel's tallest height as the row's.
QImage filmstrip(QWidget& panel, const std::function<void()>& change)
{
    change();
    QList<QPixmap> shots;
    for (int frame = 0; frame < frames; ++frame) {
        holdAt(panel, static_cast<double>(frame) / (frames - 1));
        shots.append(panel.grab());
    }
    finishAll(panel);
    const int gap = 16;
    int height = 0;
    for (const QPixmap& shot : shots)
        height = std::max(height, static_cast<int>(shot.height() / shot.devicePixelRatio()));
    const int width = static_cast<int>(shots.front().width() / shots.front().devicePixelRatio());
    QImage picture(QSize(frames * (width + gap) + gap, height + 2 * gap), QImage::Format_ARGB32);
    QPainter painter(&picture);
    paintBackdrop(painter, picture.rect());
    for (int frame = 0; frame < frames; ++frame)
        painter.drawPixmap(gap + frame * (width + gap), gap, shots[frame]);
    return picture;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    if (QApplication::arguments().size() != 2) {
        std::fprintf(stderr, "usage: studio_motion_gallery FOLDER\n");
        return 2;
    }
    const QString folder = QApplication::arguments().at(1);
    QDir().mkpath(folder);

    bool ok = true;
    for (const auto& [scheme, palette] :
        {std::pair{QStringLiteral("light"), lightPalette()}, std::pair{QStringLiteral("dark"), darkPalette()}}) {
        QApplication::setPalette(palette);
        const QString suffix = QStringLiteral("-%1.png").arg(scheme);
        PopoverPanel panel;
        PanelHost host(panel);
        auto model = std::make_shared<PopoverViewModel>(&host);
        auto* view = new PopoverView(model);
        panel.setContentWidget(view);
        panel.move(40, 40);
        panel.present();
        QApplication::processEvents();
        StudioState& studio = view->studio()->state();
        const auto strip = [&](const QString& name, const std::function<void()>& change) {
            ok &= savePicture(filmstrip(panel, change), folder, QStringLiteral("studio-motion-%1").arg(name) + suffix);
        };

        strip(QStringLiteral("meter-in"), [&] { studio.toggleRecording(); });
        strip(QStringLiteral("transcript-arrives"), [&] {
            studio.toggleRecording();
            studio.setTranscribedText(QStringLiteral("The quick brown fox jumps over the lazy dog."));
        });
        strip(QStringLiteral("collapse"), [&] { model->setExpanded(false); });
        strip(QStringLiteral("preview-tap-spring"), [&] { emit view->studio()->preview()->expandRequested(); });
        strip(QStringLiteral("copy-checkmark"), [&] { studio.copyText(); });
        strip(QStringLiteral("clear"), [&] { studio.clearText(); });
    }
    return ok ? 0 : 1;
}

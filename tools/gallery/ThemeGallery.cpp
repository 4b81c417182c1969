// The style gallery: every control, backdrop and symbol of the style kit in
// a light and a dark half, so their looks can be judged by eye.
//
//   theme_gallery                    opens the window
//   theme_gallery --screenshot DIR   saves gallery-light.png and
//                                    gallery-dark.png into DIR and quits
//   --solid                          as without a compositing manager
#include "GalleryPalettes.h"
#include "shell/theme/Appearance.h"
#include "shell/theme/FloatingWindowStyle.h"
#include "shell/theme/GlassBadge.h"
#include "shell/theme/GlassButton.h"
#include "shell/theme/GlassPlate.h"
#include "shell/theme/GlassmorphismView.h"
#include "shell/theme/HoverEffect.h"
#include "shell/theme/SymbolIcons.h"
#include "shell/theme/TallowindTheme.h"
#include "shell/theme/VisualEffectView.h"
#include "shell/tray/StatusIconArt.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QStyle>
#include <QStyleFactory>
#include <QVBoxLayout>

#include <cstdio>

using namespace TallowindTheme;

namespace {

// A busy backdrop, so translucency and legibility over any background show.
void paintBusyBackdrop(QPainter& painter, const QRect& area)
{
    QLinearGradient wash(area.topLeft(), area.bottomRight());
    wash.setColorAt(0.0, QColor(230, 120, 60));
    wash.setColorAt(0.5, QColor(60, 150, 200));
    wash.setColorAt(1.0, QColor(40, 40, 60));
    painter.fillRect(area, wash);
    painter.setPen(QPen(QColor(255, 255, 255, 120), 3));
    for (int x = area.left() - area.height(); x < area.right(); x += 22)
        painter.drawLine(x, area.bottom(), x + area.height(), area.top());
    painter.setPen(Qt::black);
    painter.setFont(Typography::headline());
    painter.drawText(area.adjusted(8, 4, 0, 0), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Backdrop text"));
}

class PlateSample : public QWidget {
public:
    PlateSample(double radius, bool solid) : cornerRadius(radius), reduced(solid)
    {
        setFixedSize(190, 140);
        setAccessibleName(QStringLiteral("Glass plate sample"));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        paintBusyBackdrop(painter, rect());
        const QRectF plate = QRectF(rect()).adjusted(24, 18, -24, -40);
        GlassPlate::paint(painter, plate,
            GlassPlateStyle{cornerRadius, colorSchemeOf(palette()), reduced, palette().color(QPalette::Window),
                Appearance::shared().blurBehind()},
            QRectF(rect()));
        painter.setPen(palette().color(QPalette::WindowText));
        painter.setFont(Typography::caption());
        painter.drawText(plate, Qt::AlignCenter,
            QStringLiteral("r %1, %2")
                .arg(cornerRadius)
                .arg(reduced ? QStringLiteral("solid") : QStringLiteral("glass")));
    }

private:
    double cornerRadius;
    bool reduced;
};

class Backdrop : public QWidget {
public:
    Backdrop() { setFixedSize(190, 110); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        paintBusyBackdrop(painter, rect());
    }
};

QLabel* heading(const QString& text)
{
    auto* label = new QLabel(text);
    label->setFont(Typography::headline());
    return label;
}

QWidget* typographySection(const QPalette& palette)
{
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setSpacing(2);
    const std::pair<const char*, QFont> fonts[] = {
        {"largeTitle 24", Typography::largeTitle()},
        {"title 18", Typography::title()},
        {"headline 14", Typography::headline()},
        {"body 14", Typography::body()},
        {"callout 13", Typography::callout()},
        {"caption 12", Typography::caption()},
        {"captionBold 12", Typography::captionBold()},
        {"badge 10", Typography::badge()},
    };
    for (const auto& [name, font] : fonts) {
        auto* label = new QLabel(QString::fromLatin1(name));
        label->setFont(font);
        layout->addWidget(label);
    }
    auto* secondary = new QLabel(QStringLiteral("secondary text"));
    QPalette p = secondary->palette();
    p.setColor(QPalette::WindowText, Colors::textSecondary(palette));
    secondary->setPalette(p);
    layout->addWidget(secondary);
    return box;
}

QWidget* controlsSection(const QPalette& palette)
{
    auto* box = new QWidget;
    auto* layout = new QGridLayout(box);
    auto* download = new GlassButton(QStringLiteral("Download"), QStringLiteral("arrow.down.circle.fill"));
    auto* plain = new GlassButton(QStringLiteral("Continue"), QString());
    auto* hovered = new GlassButton(QStringLiteral("Hovered"), QStringLiteral("checkmark"));
    hovered->hoverEffect()->setHovered(true);
    auto* pressed = new GlassButton(QStringLiteral("Pressed"), QStringLiteral("xmark"));
    pressed->setDown(true);
    auto* disabled = new GlassButton(QStringLiteral("Disabled"), QStringLiteral("trash"));
    disabled->setEnabled(false);
    layout->addWidget(download, 0, 0);
    layout->addWidget(plain, 0, 1);
    layout->addWidget(hovered, 0, 2);
    layout->addWidget(pressed, 1, 0);
    layout->addWidget(disabled, 1, 1);
    auto* badges = new QHBoxLayout;
    badges->addWidget(new GlassBadge(QStringLiteral("English"), Colors::accentColor(palette)));
    badges->addWidget(new GlassBadge(QStringLiteral("Downloaded"), Colors::successColor()));
    badges->addWidget(new GlassBadge(QStringLiteral("Large"), Colors::warningColor()));
    badges->addStretch();
    layout->addLayout(badges, 1, 2);
    return box;
}

QWidget* platesSection()
{
    auto* box = new QWidget;
    auto* layout = new QGridLayout(box);
    layout->setSpacing(6);
    int column = 0;
    for (double radius : {Radius::small, Window::cornerRadius, Radius::large}) {
        layout->addWidget(new PlateSample(radius, false), 0, column);
        layout->addWidget(new PlateSample(radius, true), 1, column);
        ++column;
    }
    return box;
}

QWidget* backdropsSection()
{
    auto* box = new QWidget;
    auto* layout = new QHBoxLayout(box);
    for (auto material : {VisualEffectView::Material::popover, VisualEffectView::Material::hudWindow}) {
        auto* backdrop = new Backdrop;
        auto* effect = new VisualEffectView(material, VisualEffectView::BlendingMode::behindWindow, backdrop);
        effect->setGeometry(20, 20, 150, 70);
        auto* label = new QLabel(
            material == VisualEffectView::Material::popover ? QStringLiteral("popover") : QStringLiteral("hudWindow"),
            effect);
        label->setGeometry(effect->rect());
        label->setAlignment(Qt::AlignCenter);
        layout->addWidget(backdrop);
    }
    auto* floating = new Backdrop;
    auto* host = new QWidget(floating);
    host->setGeometry(0, 0, 190, 110);
    host->setContentsMargins(24, 14, 24, 24);
    floatingWindowStyle(host);
    auto* hostLayout = new QVBoxLayout(host);
    auto* label = new QLabel(QStringLiteral("floating window"));
    label->setAlignment(Qt::AlignCenter);
    hostLayout->addWidget(label);
    layout->addWidget(floating);

    auto* glassHost = new Backdrop;
    auto* glass = new QWidget(glassHost);
    glass->setGeometry(0, 0, 190, 110);
    glass->setContentsMargins(20, 10, 20, 30);
    glassBackground(glass, Radius::small);
    auto* glassLayout = new QHBoxLayout(glass);
    auto* cancel = new QLabel;
    cancel->setPixmap(SymbolIcons::pixmap(QStringLiteral("xmark.circle.fill"), 24,
        SymbolTint{QColor(255, 255, 255, 230), {}, SymbolRendering::hierarchical}, glass->devicePixelRatioF()));
    auto* finish = new QLabel;
    finish->setPixmap(SymbolIcons::pixmap(QStringLiteral("checkmark.circle.fill"), 24,
        SymbolTint{Qt::black, QColor(255, 255, 255, 242), SymbolRendering::palette}, glass->devicePixelRatioF()));
    glassLayout->addWidget(cancel);
    glassLayout->addStretch();
    glassLayout->addWidget(finish);
    layout->addWidget(glassHost);
    layout->addStretch();
    return box;
}

QWidget* symbolsSection(const QPalette& palette)
{
    auto* box = new QWidget;
    auto* layout = new QGridLayout(box);
    layout->setHorizontalSpacing(10);
    layout->setVerticalSpacing(4);
    const QStringList names = SymbolIcons::names();
    int row = 0;
    for (const QString& name : names) {
        auto* line = new QWidget;
        auto* lineLayout = new QHBoxLayout(line);
        lineLayout->setContentsMargins(0, 0, 0, 0);
        for (int size : {16, 22, 32}) {
            auto* image = new QLabel;
            image->setPixmap(SymbolIcons::icon(name, palette).pixmap(size, size));
            image->setFixedSize(34, 34);
            image->setAlignment(Qt::AlignCenter);
            lineLayout->addWidget(image);
        }
        for (auto rendering : {SymbolRendering::hierarchical, SymbolRendering::palette}) {
            auto* image = new QLabel;
            const SymbolTint tint{Colors::accentColor(palette), Colors::textSecondary(palette), rendering};
            image->setPixmap(SymbolIcons::pixmap(name, 22, tint, box->devicePixelRatioF()));
            image->setFixedSize(30, 34);
            image->setAlignment(Qt::AlignCenter);
            lineLayout->addWidget(image);
        }
        auto* caption = new QLabel(name);
        caption->setFont(Typography::caption());
        lineLayout->addWidget(caption);
        lineLayout->addStretch();
        layout->addWidget(line, row / 2, row % 2);
        ++row;
    }
    auto* tray = new QWidget;
    auto* trayLayout = new QHBoxLayout(tray);
    trayLayout->setContentsMargins(0, 0, 0, 0);
    trayLayout->addWidget(new QLabel(QStringLiteral("tray:")));
    for (const char* name : {"mic.circle", "mic.circle.fill", "mic.badge.ellipsis"}) {
        auto* image = new QLabel;
        image->setPixmap(
            StatusIconArt::icon(QString::fromLatin1(name), palette.color(QPalette::Window)).pixmap(22, 22));
        trayLayout->addWidget(image);
    }
    trayLayout->addStretch();
    layout->addWidget(tray, (row + 1) / 2, 0, 1, 2);
    return box;
}

// Every symbol large, its layers in three colours, to judge the drawing.
QWidget* symbolSheet()
{
    auto* sheet = new QWidget;
    sheet->setPalette(lightPalette());
    sheet->setAutoFillBackground(true);
    auto* layout = new QGridLayout(sheet);
    const QStringList names = SymbolIcons::names();
    for (int i = 0; i < names.size(); ++i) {
        auto* cell = new QWidget;
        auto* cellLayout = new QVBoxLayout(cell);
        auto* image = new QLabel;
        image->setPixmap(SymbolIcons::pixmap(
            names[i], 72, SymbolTint{QColor(200, 40, 40), QColor(120, 120, 120), SymbolRendering::palette}));
        image->setAlignment(Qt::AlignCenter);
        auto* caption = new QLabel(names[i]);
        caption->setFont(Typography::caption());
        caption->setAlignment(Qt::AlignCenter);
        cellLayout->addWidget(image);
        cellLayout->addWidget(caption);
        layout->addWidget(cell, i / 6, i % 6);
    }
    return sheet;
}

QWidget* half(const QPalette& palette, const QString& title)
{
    auto* page = new QWidget;
    page->setPalette(palette);
    page->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(page);
    auto* name = new QLabel(title);
    name->setFont(Typography::title());
    layout->addWidget(name);
    layout->addWidget(heading(QStringLiteral("Typography")));
    layout->addWidget(typographySection(palette));
    layout->addWidget(heading(QStringLiteral("Buttons and badges")));
    layout->addWidget(controlsSection(palette));
    layout->addWidget(heading(QStringLiteral("Glass plates (top: translucent, bottom: solid)")));
    layout->addWidget(platesSection());
    layout->addWidget(heading(QStringLiteral("Backdrops: popover, hudWindow, floating window, glass behind a view")));
    layout->addWidget(backdropsSection());
    layout->addWidget(heading(QStringLiteral("Symbols: 16, 22, 32 px, then hierarchical and palette at 22")));
    layout->addWidget(symbolsSection(palette));
    layout->addStretch();
    return page;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"), QStringLiteral("Save PNGs into <dir> and quit."), QStringLiteral("dir"));
    const QCommandLineOption solid(QStringLiteral("solid"), QStringLiteral("Show the opaque variants."));
    const QCommandLineOption unblurred(QStringLiteral("unblurred"),
        QStringLiteral("As on a compositing desktop: nothing behind the glass is blurred."));
    parser.addOption(screenshot);
    parser.addOption(solid);
    parser.addOption(unblurred);
    parser.process(app);
    Appearance::shared().setReduceTransparency(parser.isSet(solid));
    Appearance::shared().setBlurBehind(!parser.isSet(unblurred));

    QWidget* light = half(lightPalette(), QStringLiteral("Light"));
    QWidget* dark = half(darkPalette(), QStringLiteral("Dark"));

    if (parser.isSet(screenshot)) {
        const QDir folder(parser.value(screenshot));
        for (auto [page, file] : {std::pair{light, "gallery-light.png"}, std::pair{dark, "gallery-dark.png"},
                 std::pair{symbolSheet(), "gallery-symbols.png"}}) {
            page->adjustSize();
            page->show();
            QApplication::processEvents();
            const QString path = folder.filePath(QString::fromLatin1(file));
            if (!page->grab().save(path)) {
                std::fprintf(stderr, "could not save %s\n", qPrintable(path));
                return 1;
            }
            std::printf("%s\n", qPrintable(path));
        }
        return 0;
    }

    QWidget window;
    window.setWindowTitle(QStringLiteral("Tallowind style gallery"));
    auto* row = new QHBoxLayout(&window);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    for (QWidget* page : {light, dark}) {
        auto* scroll = new QScrollArea;
        scroll->setWidget(page);
        scroll->setWidgetResizable(true);
        row->addWidget(scroll);
    }
    window.resize(1500, 900);
    window.show();
    return QApplication::exec();
}

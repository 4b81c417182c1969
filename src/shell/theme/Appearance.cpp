#include "shell/theme/Appearance.h"

#include "base/Published.h"
#include "platform/DesktopCompositor.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>

ColorScheme colorSchemeOf(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() < 128 ? ColorScheme::dark : ColorScheme::light;
}

Appearance& Appearance::shared()
{
    static Appearance* instance = new Appearance;
    return *instance;
}

Appearance::Appearance()
{
    dark = colorSchemeOf(QGuiApplication::palette()) == ColorScheme::dark;
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
}

void Appearance::setReduceTransparency(bool value)
{
    publish(this, reduced, value, &Appearance::reduceTransparencyChanged);
}

void Appearance::setBlurBehind(bool value)
{
    publish(this, blurred, value, &Appearance::blurBehindChanged);
}

void Appearance::setDarkScheme(bool value)
{
    publish(this, dark, value, &Appearance::darkSchemeChanged);
}

void Appearance::setCompositor(std::shared_ptr<DesktopCompositor> value)
{
    if (compositor)
        compositor->setChangeHandler({});
    compositor = std::move(value);
    if (compositor)
        compositor->setChangeHandler([this] { refresh(); });
    refresh();
}

void Appearance::refresh()
{
    setReduceTransparency(compositor && !compositor->isCompositing());
    setBlurBehind(!compositor);
    setDarkScheme(colorSchemeOf(QGuiApplication::palette()) == ColorScheme::dark);
}

bool Appearance::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == QCoreApplication::instance() && event->type() == QEvent::ApplicationPaletteChange) {
        const bool nowDark = colorSchemeOf(QGuiApplication::palette()) == ColorScheme::dark;
        if (nowDark != dark)
            setDarkScheme(nowDark);
    }
    return QObject::eventFilter(watched, event);
}

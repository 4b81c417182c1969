#include "shell/windows/WindowManager.h"

#include "base/Defaults.h"
#include "base/Published.h"
#include "shell/windows/WindowHost.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>

#include <cmath>

namespace {

const char* const hidesOnDeactivateProperty = "tallowindHidesOnDeactivate";
const char* const movableProperty = "tallowindMovable";

} // namespace

WindowManager& WindowManager::shared()
{
    static WindowManager* instance = new WindowManager;
    return *instance;
}

WindowManager::WindowManager()
{
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive)
            hideWindowsOnDeactivation();
    });
}

void WindowManager::setOpenWindows(const QSet<WindowType>& value)
{
    publish(this, open, value, &WindowManager::openWindowsChanged);
}

void WindowManager::openWindow(WindowType type)
{
    if (delegate && type == WindowType::settings)
        delegate->showSettings();
    QSet<WindowType> next = open;
    next.insert(type);
    setOpenWindows(next);
}

void WindowManager::closeWindow(WindowType type)
{
    if (QWidget* window = references.value(type))
        window->close();
    QSet<WindowType> next = open;
    next.remove(type);
    setOpenWindows(next);
    references.remove(type);
}

void WindowManager::closeAllWindows()
{
    const QSet<WindowType> listed = open;
    for (WindowType type : listed)
        closeWindow(type);
}

QString WindowManager::positionKey(WindowType type)
{
    return QStringLiteral("WindowPosition_") + type.rawValue();
}

QString WindowManager::frameString(const QRect& frame)
{
    return QStringLiteral("{{%1, %2}, {%3, %4}}").arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height());
}

std::optional<QRect> WindowManager::frameFromString(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral(
        R"(^\s*\{\s*\{\s*([-+0-9.eE]+)\s*,\s*([-+0-9.eE]+)\s*\}\s*,\s*\{\s*([-+0-9.eE]+)\s*,\s*([-+0-9.eE]+)\s*\}\s*\}\s*$)"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    double values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = match.captured(i + 1).toDouble(&ok);
        // Beyond a million pixels is no frame of any screen.
        if (!ok || !std::isfinite(values[i]) || std::abs(values[i]) > 1e6)
            return std::nullopt;
    }
    if (values[2] < 0 || values[3] < 0)
        return std::nullopt;
    return QRect(static_cast<int>(std::lround(values[0])), static_cast<int>(std::lround(values[1])),
        static_cast<int>(std::lround(values[2])), static_cast<int>(std::lround(values[3])));
}

QRect WindowManager::clampedFrame(const QRect& saved, const QRect& bounds)
{
    // QRect's right() and bottom() are inclusive, so the far edges are
    // computed from position and size.
    const int maxX = bounds.x() + bounds.width();
    const int maxY = bounds.y() + bounds.height();
    const int x = std::max(bounds.x(), std::min(saved.x(), maxX - saved.width()));
    const int y = std::max(bounds.y(), std::min(saved.y(), maxY - saved.height()));
    return {x, y, saved.width(), saved.height()};
}

void WindowManager::saveWindowPosition(const QWidget* window, WindowType type)
{
    if (!window)
        return;
    Defaults::setValue(positionKey(type), frameString(window->geometry()));
}

void WindowManager::restoreWindowPosition(QWidget* window, WindowType type)
{
    if (!window)
        return;
    const QVariant stored = Defaults::value(positionKey(type));
    if (!stored.isValid())
        return;
    const std::optional<QRect> saved = frameFromString(stored.toString());
    if (!saved)
        return;
    QScreen* screen = window->screen();
    if (!screen)
        return;
    window->setGeometry(clampedFrame(*saved, screen->availableGeometry()));
    window->update();
}

void WindowManager::applyConfiguration(const WindowConfiguration& configuration, QWidget* window)
{
    if (!window)
        return;
    using WindowStyle = WindowConfiguration::WindowStyle;
    const bool wasVisible = window->isVisible();

    window->setWindowTitle(configuration.type.title());
    window->setProperty(movableProperty, configuration.movable);
    window->setAttribute(Qt::WA_DeleteOnClose, false);

    Qt::WindowFlags flags;
    switch (configuration.style) {
    case WindowStyle::regular:
        flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint;
        if (configuration.resizable)
            flags |= Qt::WindowMaximizeButtonHint;
        window->setAttribute(Qt::WA_TranslucentBackground, false);
        window->setAttribute(Qt::WA_ShowWithoutActivating, false);
        break;
    case WindowStyle::floating:
    case WindowStyle::panel:
        // A panel that never takes the focus from the application in front.
        flags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus;
        if (configuration.floatingLevel)
            flags |= Qt::WindowStaysOnTopHint;
        window->setAttribute(Qt::WA_TranslucentBackground, true);
        window->setAttribute(Qt::WA_ShowWithoutActivating, true);
        break;
    case WindowStyle::popover:
        flags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
        window->setAttribute(Qt::WA_TranslucentBackground, true);
        window->setAttribute(Qt::WA_ShowWithoutActivating, false);
        break;
    }
    // A borderless window has no title bar to hide; a framed one keeps its
    // title bar, as the window manager draws it.
    window->setWindowFlags(flags);

    if (configuration.defaultSize)
        window->resize(*configuration.defaultSize);
    if (configuration.minSize)
        window->setMinimumSize(*configuration.minSize);
    if (configuration.maxSize)
        window->setMaximumSize(*configuration.maxSize);
    if (configuration.style == WindowStyle::regular && !configuration.resizable && configuration.defaultSize)
        window->setFixedSize(*configuration.defaultSize);

    window->setProperty(hidesOnDeactivateProperty, configuration.hidesOnDeactivate);
    references.insert(configuration.type, window);
    if (wasVisible)
        window->show();
}

bool WindowManager::isMovable(const QWidget* window)
{
    const QVariant movable = window->property(movableProperty);
    return !movable.isValid() || movable.toBool();
}

void WindowManager::hideWindowsOnDeactivation()
{
    for (const QPointer<QWidget>& window : std::as_const(references))
        if (window && window->property(hidesOnDeactivateProperty).toBool())
            window->hide();
}

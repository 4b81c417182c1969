#pragma once

#include "shell/windows/WindowConfiguration.h"
#include "shell/windows/WindowType.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSet>
#include <QWidget>

#include <optional>

class WindowHost;

// Opens and closes the tool's windows by kind, lists the kinds it was asked
// to open, keeps a window's frame in the settings store
// ("WindowPosition_<kind>") and applies a kind's presentation to a window.
// Main thread only.
class WindowManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(QSet<WindowType> openWindows READ openWindows NOTIFY openWindowsChanged)

public:
    static WindowManager& shared();

    // The controller that can show the Settings window; none by default.
    // The host clears it before it goes.
    void setApplicationDelegate(WindowHost* host) { delegate = host; }
    WindowHost* applicationDelegate() const { return delegate; }

    // The kinds openWindow() was asked for and no close has closed since.
    // Windows are not watched: one the user closed stays listed.
    const QSet<WindowType>& openWindows() const { return open; }
    bool isWindowOpen(WindowType type) const { return open.contains(type); }

    // Only the Settings window can be shown from here (through the
    // controller); every kind is listed as open all the same.
    void openWindow(WindowType type);
    void closeWindow(WindowType type);
    void closeAllWindows();

    void saveWindowPosition(const QWidget* window, WindowType type);
    // Puts the window at its saved frame, moved as little as needed to lie
    // within the available area of its screen; the saved size is kept.
    void restoreWindowPosition(QWidget* window, WindowType type);
    // Title, flags, sizes and deactivation behaviour of the kind; the
    // window is then the one this manager closes for the kind.
    void applyConfiguration(const WindowConfiguration& configuration, QWidget* window);
    // False only for a window configured as not movable: dragging its
    // background leaves it in place.
    static bool isMovable(const QWidget* window);
    QWidget* window(WindowType type) const { return references.value(type); }

    static QString positionKey(WindowType type);
    // "{{x, y}, {width, height}}"
    static QString frameString(const QRect& frame);
    // None for text that is not such a frame.
    static std::optional<QRect> frameFromString(const QString& text);
    static QRect clampedFrame(const QRect& saved, const QRect& bounds);

signals:
    void openWindowsChanged(const QSet<WindowType>& openWindows);

private:
    WindowManager();
    void setOpenWindows(const QSet<WindowType>& value);
    void hideWindowsOnDeactivation();

    QSet<WindowType> open;
    QHash<WindowType, QPointer<QWidget>> references;
    WindowHost* delegate = nullptr;
};

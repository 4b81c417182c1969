#pragma once

#include <QHashFunctions>
#include <QList>
#include <QString>

#include <optional>

// The tool's kinds of window.
class WindowType {
public:
    enum Case { settings, popover, recordingProgress, streamingProgress, firstLaunch };

    constexpr WindowType(Case value) : kind(value) { }

    // Exact, case-sensitive match of a raw value.
    static std::optional<WindowType> fromRawValue(const QString& rawValue);
    // Declaration order.
    static QList<WindowType> allCases();

    constexpr Case value() const { return kind; }
    QString rawValue() const;
    QString title() const;
    // "com.tallowind.window." followed by the raw value.
    QString id() const;

    friend constexpr bool operator==(WindowType a, WindowType b) { return a.kind == b.kind; }

private:
    Case kind;
};

inline size_t qHash(WindowType type, size_t seed = 0) noexcept
{
    return qHash(type.rawValue(), seed);
}

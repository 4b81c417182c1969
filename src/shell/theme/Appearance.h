#pragma once

#include <QObject>
#include <QPalette>

#include <memory>

class DesktopCompositor;

enum class ColorScheme { light, dark };

// Dark when the palette's window colour is dark.
ColorScheme colorSchemeOf(const QPalette& palette);

// The process-wide look settings the views follow: the colour scheme of the
// application palette and whether transparency is reduced (no compositing
// manager runs). Widgets take their own scheme from their own palette.
class Appearance : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool darkScheme READ darkScheme NOTIFY darkSchemeChanged)
    Q_PROPERTY(
        bool reduceTransparency READ reduceTransparency WRITE setReduceTransparency NOTIFY reduceTransparencyChanged)
public:
    static Appearance& shared();

    bool darkScheme() const { return dark; }
    bool reduceTransparency() const { return reduced; }
    void setReduceTransparency(bool value);

    // Asks the compositor now and whenever refresh() is called. Without one,
    // transparency is not reduced.
    void setCompositor(std::shared_ptr<DesktopCompositor> compositor);
    void refresh();

signals:
    void darkSchemeChanged(bool dark);
    void reduceTransparencyChanged(bool reduced);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Appearance();
    void setDarkScheme(bool value);

    std::shared_ptr<DesktopCompositor> compositor;
    bool dark = false;
    bool reduced = false;
};

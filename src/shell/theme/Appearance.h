#pragma once

#include <QObject>
#include <QPalette>

#include <memory>

class DesktopCompositor;

enum class ColorScheme { light, dark };

// Dark when the palette's window colour is dark.
ColorScheme colorSchemeOf(const QPalette& palette);

// The process-wide look settings the views follow: the colour scheme of the
// application palette, whether transparency is reduced (no compositing
// manager runs) and whether what lies behind our windows is blurred.
// Widgets take their own scheme from their own palette.
class Appearance : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool darkScheme READ darkScheme NOTIFY darkSchemeChanged)
    Q_PROPERTY(
        bool reduceTransparency READ reduceTransparency WRITE setReduceTransparency NOTIFY reduceTransparencyChanged)
    Q_PROPERTY(bool blurBehind READ blurBehind WRITE setBlurBehind NOTIFY blurBehindChanged)
public:
    static Appearance& shared();

    bool darkScheme() const { return dark; }
    bool reduceTransparency() const { return reduced; }
    void setReduceTransparency(bool value);
    bool blurBehind() const { return blurred; }
    void setBlurBehind(bool value);
    // Glass lets what lies behind show through only where it is blurred:
    // unblurred, other windows' text would run through ours.
    bool opaqueMaterial() const { return reduced || !blurred; }

    // Asks the compositor now, whenever it says a compositing manager
    // started or stopped, and whenever refresh() is called. We ask no
    // compositor for a blur (KWin's left our texts below 4.5:1 over dark
    // desktops), so once one is set nothing behind counts as blurred. With
    // none set (the style kit's tests and pictures), transparency is not
    // reduced and the backdrop counts as blurred.
    void setCompositor(std::shared_ptr<DesktopCompositor> compositor);
    void refresh();

signals:
    void darkSchemeChanged(bool dark);
    void reduceTransparencyChanged(bool reduced);
    void blurBehindChanged(bool blurBehind);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Appearance();
    void setDarkScheme(bool value);

    std::shared_ptr<DesktopCompositor> compositor;
    bool dark = false;
    bool reduced = false;
    bool blurred = true;
};

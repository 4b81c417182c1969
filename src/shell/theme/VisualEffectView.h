#pragma once

#include <QWidget>

// A backdrop that stands for a window material: it keeps the material, the
// blending mode and the state it was given and paints the material's tint:
// translucent where the compositor blurs what lies behind the window,
// opaque elsewhere and while transparency is reduced.
class VisualEffectView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(Material material READ material WRITE setMaterial NOTIFY materialChanged)
    Q_PROPERTY(BlendingMode blendingMode READ blendingMode WRITE setBlendingMode NOTIFY blendingModeChanged)
    Q_PROPERTY(State state READ state WRITE setState NOTIFY stateChanged)
public:
    // Raw values as the stored numbers elsewhere give them.
    enum class Material {
        titlebar = 3,
        selection = 4,
        menu = 5,
        popover = 6,
        sidebar = 7,
        headerView = 10,
        sheet = 11,
        windowBackground = 12,
        hudWindow = 13,
        fullScreenUI = 15,
        toolTip = 17,
        contentBackground = 18,
        underWindowBackground = 21,
        underPageBackground = 22,
    };
    Q_ENUM(Material)
    enum class BlendingMode { behindWindow = 0, withinWindow = 1 };
    Q_ENUM(BlendingMode)
    enum class State { followsWindowActiveState = 0, active = 1, inactive = 2 };
    Q_ENUM(State)

    // Made active: the tint does not fade when the window loses focus.
    VisualEffectView(Material material, BlendingMode blendingMode, QWidget* parent = nullptr);

    Material material() const { return currentMaterial; }
    void setMaterial(Material value);
    BlendingMode blendingMode() const { return currentBlending; }
    void setBlendingMode(BlendingMode value);
    State state() const { return currentState; }
    void setState(State value);
    // Sets material and blending mode again; the state is left alone.
    void updateEffect(Material material, BlendingMode blendingMode);

    // The tint a material paints over `rect`, for painters that stack more
    // layers over it.
    static void paintMaterial(QPainter& painter, const QRectF& rect, Material material, const QPalette& palette,
        bool opaque, bool windowActive = true);

signals:
    void materialChanged(VisualEffectView::Material material);
    void blendingModeChanged(VisualEffectView::BlendingMode blendingMode);
    void stateChanged(VisualEffectView::State state);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    Material currentMaterial;
    BlendingMode currentBlending;
    State currentState = State::active;
};

// The blur backdrop of the live preview: the same backdrop under its own name.
using VisualEffectBlur = VisualEffectView;

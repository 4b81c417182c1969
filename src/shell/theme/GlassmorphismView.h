#pragma once

#include "shell/theme/GlassPlate.h"

#include <QWidget>

// The glass plate as a widget: paints the plate in its content rectangle and
// the plate's shadows in its margins. Scheme from its palette, solid variant
// while the appearance reduces transparency, opaque glass while nothing
// behind is blurred.
class GlassmorphismView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double cornerRadius READ cornerRadius WRITE setCornerRadius NOTIFY cornerRadiusChanged)
public:
    explicit GlassmorphismView(double cornerRadius = TallowindTheme::Window::cornerRadius, QWidget* parent = nullptr);

    double cornerRadius() const { return radius; }
    void setCornerRadius(double value);
    GlassPlateStyle plateStyle() const;

signals:
    void cornerRadiusChanged(double cornerRadius);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double radius;
};

// Lays a glass plate behind `view` (its content rectangle; shadows in its
// margins). The plate follows the view's size. Returns the plate, owned by
// `view`.
GlassmorphismView* glassBackground(QWidget* view, double cornerRadius = TallowindTheme::Window::cornerRadius);

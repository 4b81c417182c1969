#pragma once

#include <QAbstractButton>

class QVariantAnimation;

// The studio's model button: the active model's name ("Select Model" when
// none is active) in small secondary text, on a faint rounded background
// while the pointer is over it.
class ModelPickerButton : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(bool hovering READ isHovering NOTIFY hoveringChanged)

public:
    static constexpr int fontPixelSize = 12;
    static constexpr int horizontalPadding = 8;
    static constexpr int verticalPadding = 4;
    static constexpr double cornerRadius = 6.0;
    static constexpr double hoverSeconds = 0.15;

    explicit ModelPickerButton(QWidget* parent = nullptr);

    // The active model's display name, or empty for none.
    void setModelName(const QString& name);
    bool isHovering() const { return hovering; }
    // 0 without the hover background, 1 with it (animated in between).
    double hoverAmount() const { return backgroundAmount; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    void hoveringChanged(bool hovering);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void setHovering(bool value);

    bool hovering = false;
    double backgroundAmount = 0.0;
    QVariantAnimation* animation;
};

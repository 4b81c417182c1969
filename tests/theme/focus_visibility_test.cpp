#include "shell/theme/FocusVisibility.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHBoxLayout>
#include <QProxyStyle>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QWidget>

// A window that has just opened gives its first control the focus without
// any Tab; that control must already look focused, whatever its kind.
TEST(FocusVisibility, TheControlFocusedWhenAWindowOpensShowsItsRing)
{
    FocusVisibility::install(qApp);
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* close = new QToolButton(&window);
    close->setText(QStringLiteral("x"));
    close->setAutoRaise(true);
    close->setFocusPolicy(Qt::StrongFocus);
    close->setAccessibleName(QStringLiteral("close"));
    auto* push = new QPushButton(QStringLiteral("Download"), &window);
    auto* flat = new QPushButton(QStringLiteral("Retry"), &window);
    flat->setFlat(true);
    flat->setAccessibleName(QStringLiteral("flat"));
    push->setAccessibleName(QStringLiteral("push"));
    auto* other = new QPushButton(QStringLiteral("Other"), &window);
    const QList<QWidget*> controls = {close, push, flat};
    for (QWidget* control : controls)
        layout->addWidget(control);
    layout->addWidget(other);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    for (QWidget* control : controls) {
        control->setFocus(Qt::ActiveWindowFocusReason);
        ASSERT_TRUE(control->hasFocus());
        const QImage focused = control->grab().toImage();
        other->setFocus(Qt::ActiveWindowFocusReason);
        const QImage unfocused = control->grab().toImage();
        EXPECT_NE(focused, unfocused) << control->accessibleName().toStdString();
    }
}

// The ring is laid over the style the application chose before, never in
// its place: the outlined check boxes must survive it.
TEST(FocusVisibility, KeepsTheStyleSetBeforeIt)
{
    auto* chosen = new QProxyStyle;
    QApplication::setStyle(chosen);
    FocusVisibility::install(qApp);
    auto* ring = qobject_cast<QProxyStyle*>(QApplication::style());
    ASSERT_NE(ring, nullptr);
    EXPECT_EQ(ring->baseStyle(), chosen);
}

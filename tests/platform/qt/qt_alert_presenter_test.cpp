#include "platform/qt/QtAlertPresenter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// Clicks the button titled `title` in the alert once it is up, and records
// what the alert showed.
struct AlertClicker {
    explicit AlertClicker(QString buttonTitle) : title(std::move(buttonTitle)) { }
    QString title;
    QString text;
    QString informative;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;

    void arm()
    {
        QTimer::singleShot(20, [this] { clickWhenShown(); });
    }
    void clickWhenShown()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            arm();
            return;
        }
        text = box->text();
        informative = box->informativeText();
        icon = box->icon();
        for (QAbstractButton* button : box->buttons())
            buttons << button->text();
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == title) {
                button->click();
                return;
            }
        }
        box->reject();
    }
};

} // namespace

TEST(QtAlertPresenter, ReportsTheIndexOfTheChosenButton)
{
    QtAlertPresenter presenter;
    Alert alert{"Microphone Access Required", "Needs access.", AlertStyle::Warning, {"Open System Settings", "Cancel"}};

    AlertClicker second("Cancel");
    second.arm();
    EXPECT_EQ(presenter.runModal(alert), 1);
    EXPECT_EQ(second.text, "Microphone Access Required");
    EXPECT_EQ(second.informative, "Needs access.");
    EXPECT_EQ(second.icon, QMessageBox::Warning);
    EXPECT_EQ(second.buttons.size(), 2);

    AlertClicker first("Open System Settings");
    first.arm();
    EXPECT_EQ(presenter.runModal(alert), 0);
}

TEST(QtAlertPresenter, ShowsASingleOkWhenNoButtonsAreGiven)
{
    QtAlertPresenter presenter;
    AlertClicker ok("OK");
    ok.arm();
    EXPECT_EQ(presenter.runModal(Alert{"Audio Setup Failed", "Restart.", AlertStyle::Critical, {}}), 0);
    EXPECT_EQ(ok.buttons, QStringList{"OK"});
    EXPECT_EQ(ok.icon, QMessageBox::Critical);
}

// An alert whose buttons can end the tool: Escape and the window's close
// button dismiss it without choosing "Quit", or any other button.
TEST(QtAlertPresenter, EscapeAndTheCloseButtonChooseNoButton)
{
    QtAlertPresenter presenter;
    const Alert alert{"Model Loading Failed", "Damaged.", AlertStyle::Critical, {"Open Settings", "Quit"}};
    const auto answerWhenShown = [&](std::function<void(QMessageBox*)> dismiss) {
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                poll.stop();
                dismiss(box);
            }
        });
        poll.start(10);
        return presenter.runModal(alert);
    };
    EXPECT_EQ(answerWhenShown([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); }), -1);
    EXPECT_EQ(answerWhenShown([](QMessageBox* box) { box->close(); }), -1);
}

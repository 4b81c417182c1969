#include "platform/qt/QtAlertPresenter.h"
#include "shell/ShellShots.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>

#include <cmath>

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
    int width = 0;
    // What the user reads in each label, and in the details box if any.
    QStringList labelTexts;
    std::optional<QString> details;
    // Runs while the alert is up, before the click.
    std::function<void(QMessageBox&)> whileShown;

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
        width = box->width();
        for (const QLabel* label : box->findChildren<QLabel*>())
            if (label->isVisible() && !label->text().isEmpty())
                labelTexts << (label->textFormat() == Qt::PlainText ? label->text() : QStringLiteral("<rich>"));
        if (const auto* browser = box->findChild<QTextBrowser*>())
            details = browser->toPlainText();
        if (whileShown)
            whileShown(*box);
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

    // Once the application quits, nothing shows: a shown alert would hold
    // the process until someone closed it.
    presenter.stopPresenting();
    AlertClicker none("Open System Settings");
    none.arm();
    EXPECT_EQ(presenter.runModal(alert), -1);
    EXPECT_TRUE(none.text.isEmpty());
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

// Records the web links handed to the desktop.
class LinkCatcher : public QObject {
    Q_OBJECT

public:
    LinkCatcher()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open");
    }
    ~LinkCatcher() override
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    }
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened.append(url); }
};

TEST(QtAlertPresenter, ShortSentencesGetAReadableWidthAndStayPlainText)
{
    QtAlertPresenter presenter;
    AlertClicker ok("OK");
    ok.arm();
    presenter.runModal(
        Alert{"Update check failed", "The update feed did not answer in <b>time</b>.", AlertStyle::Warning, {}});
    EXPECT_GE(ok.width, QtAlertPresenter::minimumWidth);
    EXPECT_TRUE(ok.labelTexts.contains("The update feed did not answer in <b>time</b>."))
        << ok.labelTexts.join('|').toStdString();
    EXPECT_FALSE(ok.labelTexts.contains("<rich>")) << "words from a server are never markup";
    EXPECT_FALSE(ok.details.has_value()) << "no details box without details";
}

TEST(QtAlertPresenter, RichDetailsKeepTheirStructureAndOnlyWebLinksLeave)
{
    LinkCatcher links;
    QtAlertPresenter presenter;
    Alert alert{"Tallowind 1.1 is available", "You have version 1.0.", AlertStyle::Informational, {"Later"}};
    alert.detailsHtml =
        "<h2>What's new</h2><ul><li>Faster start</li><li>Fixes</li></ul>"
        "<p><img src=\"file:///etc/hostname\">See <a href=\"https://tallowind.example/n\">notes</a></p>";
    AlertClicker later("Later");
    later.whileShown = [](QMessageBox& box) {
        auto* browser = box.findChild<QTextBrowser*>();
        ASSERT_NE(browser, nullptr);
        emit browser->anchorClicked(QUrl("https://tallowind.example/n"));
        emit browser->anchorClicked(QUrl("file:///etc/hostname"));
        EXPECT_FALSE(browser->loadResource(QTextDocument::ImageResource, QUrl("file:///etc/hostname")).isValid());
    };
    later.arm();
    presenter.runModal(alert);
    ASSERT_TRUE(later.details.has_value());
    const QStringList lines = later.details->split('\n', Qt::SkipEmptyParts);
    EXPECT_TRUE(lines.contains("What's new") && lines.contains("Faster start") && lines.contains("Fixes"))
        << later.details->toStdString();
    EXPECT_EQ(links.opened, QList<QUrl>{QUrl("https://tallowind.example/n")});
    EXPECT_GE(later.width, QtAlertPresenter::minimumWidth);
}

#include "qt_alert_presenter_test.moc"

namespace {

double luminance(const QColor& color)
{
    const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) + 0.0722 * channel(color.blueF());
}

// The colour each run of the details' text is drawn in, by its text.
QHash<QString, QColor> textColours(QTextBrowser& browser)
{
    QHash<QString, QColor> colours;
    for (QTextBlock block = browser.document()->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            colours.insert(it.fragment().text().trimmed(),
                format.hasProperty(QTextFormat::ForegroundBrush) ? format.foreground().color()
                                                                 : browser.palette().color(QPalette::Text));
        }
    return colours;
}

} // namespace

TEST(QtAlertPresenter, DetailsStayReadableInADarkPaletteWhateverColoursTheyBring)
{
    const QPalette before = QApplication::palette();
    QPalette dark = before;
    dark.setColor(QPalette::Base, QColor(28, 28, 30));
    dark.setColor(QPalette::Text, QColor(235, 235, 240));
    dark.setColor(QPalette::Link, QColor(0, 0, 255));
    QApplication::setPalette(dark);

    QtAlertPresenter presenter;
    Alert alert{"Tallowind 1.1 is available", "You have version 1.0.", AlertStyle::Informational, {"Later"}};
    alert.detailsHtml = "<style>p { color: black }</style><p style=\"color:#101010\"><font color=black>Dark</font> "
                        "words, a <a href=\"https://tallowind.example/n\">link</a>, and color=blue as text.</p>";
    QHash<QString, QColor> colours;
    AlertClicker later("Later");
    later.whileShown = [&](QMessageBox& box) {
        if (auto* browser = box.findChild<QTextBrowser*>())
            colours = textColours(*browser);
    };
    later.arm();
    presenter.runModal(alert);
    QApplication::setPalette(before);

    const double background = luminance(dark.color(QPalette::Base));
    ASSERT_TRUE(colours.contains("link") && colours.size() >= 2) << QStringList(colours.keys()).join('|').toStdString();
    for (const QString& text : colours.keys())
        EXPECT_GE((luminance(colours[text]) + 0.05) / (background + 0.05), 4.5) << text.toStdString();
    EXPECT_TRUE(later.details->contains("color=blue as text"))
        << "the words are kept: " << later.details->toStdString();
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

// On a 2x screen the icon is drawn with twice the pixels, not magnified.
TEST(QtAlertPresenter, TheIconIsSharpAtDoubleScale)
{
    if (qApp->devicePixelRatio() < 2)
        GTEST_SKIP() << "runs with QT_SCALE_FACTOR=2";
    QtAlertPresenter presenter;
    AlertClicker ok("OK");
    QPixmap icon;
    ok.whileShown = [&](QMessageBox& box) {
        if (const auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgboxex_icon_label")))
            icon = label->pixmap();
        saveShot(box, QStringLiteral("alert-information-2x"));
    };
    ok.arm();
    presenter.runModal(
        Alert{"Shortcut Unavailable", "Another program already uses Alt+W.", AlertStyle::Informational, {}});
    EXPECT_EQ(ok.icon, QMessageBox::Information);
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.devicePixelRatio(), 2.0);
    EXPECT_EQ(icon.deviceIndependentSize().toSize(), QSize(32, 32));
}

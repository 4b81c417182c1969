#include "platform/atspi/AtspiFocusSource.h"
#include "platform/x11/X11FrontmostApplication.h"
#include "shell/indicator/FocusFieldDetector.h"
#include "support/EventLoop.h"
#include "support/LogCapture.h"
#include "support/PasteTarget.h"
#include "support/Patience.h"
#include "support/TargetFocus.h"
#include "support/WindowGeometry.h"
#include "support/XTestKeyboard.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int callTimeoutMs = 500;

QString gtkTargetScript()
{
    return qEnvironmentVariable("TALLOWIND_SOURCE_DIR") + QStringLiteral("/tests/tools/paste_target_gtk.py");
}

class FocusTracking : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "needs an X display and a session bus";
        // Qt applications join the accessibility bus only when asked to.
        qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
        source = std::make_shared<AtspiFocusSource>(callTimeoutMs);
        frontmost = std::make_shared<X11FrontmostApplication>();
        ASSERT_TRUE(pumpUntil([&] { return source->isListening(); }, Patience::transfer)) << "no accessibility bus";
    }

    void startGtk(PasteTarget& target)
    {
        // The distribution's interpreter, which has python3-gi.
        ASSERT_TRUE(target.start(QStringLiteral("/usr/bin/python3"), {gtkTargetScript()}));
        ASSERT_TRUE(target.activate());
    }

    // Waits for a report of a field of `target`'s process.
    std::optional<FocusedField> awaitFieldOf(const PasteTarget& target)
    {
        std::optional<FocusedField> found;
        pumpUntil(
            [&] {
                for (const auto& report : reports)
                    if (report && report->processId == target.processId())
                        found = report;
                return found.has_value();
            },
            Patience::transfer);
        return found;
    }

    // Waits until the source's cache holds `target`'s field with its
    // rectangle. A first read that ran out of time on a loaded machine is
    // read again, as the detector's poll does.
    void awaitCachedFieldOf(PasteTarget& target)
    {
        std::optional<FocusedElement> known;
        ASSERT_TRUE(pumpUntil(
            [&] {
                known = readFocusOf(*source, target);
                return known && known->processId == target.processId() && known->bounds;
            },
            Patience::transfer))
            << (known ? "the source read process " + std::to_string(known->processId)
                           + (known->bounds ? " with a rectangle" : " without a rectangle")
                      : std::string("the source knows no focused element"))
            << "; the target is process " << target.processId();
    }

    static void expectInsideWindow(const QRectF& field, const PasteTarget& target)
    {
        const QRect window = windowGeometry(target.windowId());
        ASSERT_FALSE(window.isEmpty());
        // The line edit fills the window's width inside the layout margins.
        EXPECT_TRUE(QRectF(window).adjusted(-1, -1, 1, 1).contains(field))
            << "field " << field.x() << "," << field.y() << " " << field.width() << "x" << field.height() << " window "
            << window.x() << "," << window.y() << " " << window.width() << "x" << window.height();
        EXPECT_GT(field.width(), window.width() * 0.7);
        EXPECT_GE(field.height(), 20);
        EXPECT_LT(field.height(), 80);
    }

    std::shared_ptr<AtspiFocusSource> source;
    std::shared_ptr<X11FrontmostApplication> frontmost;
    std::vector<std::optional<FocusedField>> reports;
};

} // namespace

TEST_F(FocusTracking, GtkAndQtFieldsAreReportedInTurnWithTheirRectangles)
{
    FocusFieldDetector detector(source, frontmost);
    detector.startObserving([&](const std::optional<FocusedField>& field) { reports.push_back(field); });

    PasteTarget gtk;
    startGtk(gtk);
    ASSERT_NO_FATAL_FAILURE(awaitCachedFieldOf(gtk));
    const std::optional<FocusedField> gtkField = awaitFieldOf(gtk);
    ASSERT_TRUE(gtkField) << "no report for the GTK entry";
    expectInsideWindow(gtkField->bounds, gtk);
    EXPECT_TRUE(pumpUntil([&] { return frontmost->processId() == gtk.processId(); }, 5000));

    PasteTarget qt;
    ASSERT_TRUE(qt.start(testToolPath(QStringLiteral("paste_target_qt"))));
    ASSERT_TRUE(qt.activate());
    ASSERT_NO_FATAL_FAILURE(awaitCachedFieldOf(qt));
    const std::optional<FocusedField> qtField = awaitFieldOf(qt);
    ASSERT_TRUE(qtField) << "no report for the Qt line edit";
    expectInsideWindow(qtField->bounds, qt);

    // The synchronous answer comes from the cache and agrees.
    const std::optional<FocusedField> now = detector.getCurrentFocusedField();
    ASSERT_TRUE(now);
    EXPECT_EQ(now->processId, qt.processId());
    EXPECT_TRUE(FocusFieldDetector::boundsAreSimilar(now->bounds, qtField->bounds));

    // Back to the GTK window: its field again.
    reports.clear();
    ASSERT_TRUE(gtk.activate());
    const std::optional<FocusedField> again = awaitFieldOf(gtk);
    ASSERT_TRUE(again);
    EXPECT_TRUE(FocusFieldDetector::boundsAreSimilar(again->bounds, gtkField->bounds));
}

TEST_F(FocusTracking, AHungApplicationNeverBlocksTheCaller)
{
    PasteTarget gtk;
    startGtk(gtk);
    ASSERT_NO_FATAL_FAILURE(awaitCachedFieldOf(gtk));

    ASSERT_EQ(::kill(static_cast<pid_t>(gtk.processId()), SIGSTOP), 0);
    struct Resume {
        pid_t pid;
        ~Resume() { ::kill(pid, SIGCONT); }
    } resume{static_cast<pid_t>(gtk.processId())};

    // Each call returns at once: the question waits on the worker thread.
    // The bounds are generous; they prove the calls do not wait for the
    // application's timeout.
    std::optional<std::optional<FocusedElement>> answer;
    QElapsedTimer clock;
    clock.start();
    source->refresh([&](const std::optional<FocusedElement>& element) { answer = element; });
    EXPECT_LT(clock.elapsed(), callTimeoutMs / 2);
    clock.restart();
    const std::optional<FocusedElement> cached = source->cachedFocus();
    EXPECT_LT(clock.elapsed(), callTimeoutMs / 2);
    EXPECT_TRUE(cached && cached->bounds) << "the cache still knows the field";

    // The answer comes once the application's time is up, without a
    // rectangle it could not give.
    ASSERT_TRUE(pumpUntil([&] { return answer.has_value(); }, 10 * callTimeoutMs));
    ASSERT_TRUE(*answer);
    EXPECT_FALSE((*answer)->bounds);

    // The detector, asked while the application still hangs, knows no field
    // and does not wait either.
    FocusFieldDetector detector(source, frontmost);
    clock.restart();
    detector.startObserving([&](const std::optional<FocusedField>& field) { reports.push_back(field); });
    EXPECT_FALSE(detector.getCurrentFocusedField());
    detector.stopObserving();
    EXPECT_LT(clock.elapsed(), callTimeoutMs / 2);
}

TEST_F(FocusTracking, AHeldShortcutKeepsTheFieldKnown)
{
    // While a shortcut's key grab is active, toolkits take the focused state
    // from the field the text is meant for (Qt within half a second).
    ForeignKeyGrab shortcut("w", 8);
    XTestKeyboard keyboard;
    ASSERT_TRUE(keyboard.isOpen());
    for (const bool gtkTarget : {true, false}) {
        SCOPED_TRACE(gtkTarget ? "GTK" : "Qt");
        PasteTarget target;
        if (gtkTarget)
            startGtk(target);
        else {
            ASSERT_TRUE(target.start(testToolPath(QStringLiteral("paste_target_qt"))));
            ASSERT_TRUE(target.activate());
        }
        ASSERT_NO_FATAL_FAILURE(awaitCachedFieldOf(target));
        FocusFieldDetector detector(source, frontmost);
        ASSERT_TRUE(pumpUntil(
            [&] {
                const auto field = detector.getCurrentFocusedField();
                return field && field->processId == target.processId();
            },
            Patience::transfer));
        const QRectF before = detector.getCurrentFocusedField()->bounds;

        keyboard.press("Alt_L");
        keyboard.press("w");
        pumpFor(800);
        const std::optional<FocusedField> held = detector.getCurrentFocusedField();
        ASSERT_TRUE(held);
        EXPECT_EQ(held->bounds, before);
        // A fresh read during the grab finds it too.
        reports.clear();
        detector.startObserving([&](const std::optional<FocusedField>& field) { reports.push_back(field); });
        EXPECT_TRUE(awaitFieldOf(target));
        detector.stopObserving();
        keyboard.release("w");
        keyboard.release("Alt_L");
        pumpFor(100);
    }
}

// Started before the desktop's accessibility service, the source listens
// once the bus comes instead of never.
TEST(FocusSourceStartup, ABusThatComesLaterIsFoundAndListenedTo)
{
    QTemporaryDir folder;
    const QString address = QStringLiteral("unix:path=") + folder.filePath(QStringLiteral("bus"));
    const QByteArray previous = qgetenv("AT_SPI_BUS_ADDRESS");
    qputenv("AT_SPI_BUS_ADDRESS", address.toUtf8());
    struct Restore {
        QByteArray value;
        ~Restore() { qputenv("AT_SPI_BUS_ADDRESS", value); }
    } restore{previous};

    LogCapture log;
    AtspiFocusSource source(callTimeoutMs, 100);
    ASSERT_TRUE(
        pumpUntil([&] { return !log.systemLines().filter(QStringLiteral("No accessibility bus yet")).isEmpty(); },
            Patience::reply));
    EXPECT_FALSE(source.isListening());

    // The bus and its registry, as a desktop starts them.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("AT_SPI_BUS_ADDRESS"), address);
    QProcess bus;
    QProcess registry;
    bus.setProcessEnvironment(environment);
    registry.setProcessEnvironment(environment);
    bus.start(QStringLiteral("dbus-daemon"),
        {QStringLiteral("--config-file=/usr/share/defaults/at-spi2/accessibility.conf"),
            QStringLiteral("--address=") + address, QStringLiteral("--nofork")});
    ASSERT_TRUE(bus.waitForStarted(Patience::reply));
    ASSERT_TRUE(pumpUntil([&] { return QFile::exists(folder.filePath(QStringLiteral("bus"))); }, Patience::reply));
    registry.start(QStringLiteral("/usr/libexec/at-spi2-registryd"), {});
    ASSERT_TRUE(registry.waitForStarted(Patience::reply));

    EXPECT_TRUE(pumpUntil([&] { return source.isListening(); }, Patience::transfer));
    EXPECT_EQ(log.systemLines().filter(QStringLiteral("No accessibility bus yet")).size(), 1) << "said once";

    for (QProcess* process : {&registry, &bus}) {
        process->terminate();
        if (!process->waitForFinished(Patience::reply))
            process->kill();
    }
}

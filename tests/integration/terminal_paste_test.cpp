#include "core/input/TextInsertion.h"
#include "platform/qt/QtPasteboard.h"
#include "platform/x11/X11KeySynthesizer.h"
#include "platform/x11/X11PasteDelivery.h"
#include "support/EventLoop.h"
#include "support/LogCapture.h"
#include "support/PasteTarget.h"
#include "support/Patience.h"
#include "support/XTestKeyboard.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

namespace {

// A terminal emulator running the byte logger from tests/tools, which
// records every byte the terminal hands to the program inside it.
class LoggedTerminal {
public:
    ~LoggedTerminal() { stopProcess(process, 5000); }

    // `program` and the arguments that give it `title`; the logger's command
    // line follows them.
    bool start(const QString& program, const QStringList& arguments, bool bracketed)
    {
        logPath = folder.filePath(QStringLiteral("bytes"));
        const QString logger =
            qEnvironmentVariable("TALLOWIND_SOURCE_DIR") + QStringLiteral("/tests/tools/terminal_byte_logger.py");
        QStringList command = arguments;
        command << QStringLiteral("-e") << QStringLiteral("/usr/bin/python3") << logger << logPath;
        if (bracketed)
            command << QStringLiteral("bracketed");
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(program, command);
        if (!process.waitForStarted(10000))
            return false;
        return pumpUntil([&] { return QFile::exists(logPath + QStringLiteral(".ready")); }, Patience::transfer);
    }

    // Gives the terminal window the keyboard focus, as the user's click would.
    bool activate(const QString& title) const
    {
        QProcess search;
        search.start(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--name"), title});
        if (!search.waitForFinished(10000))
            return false;
        return activateWindow(QString::fromLatin1(search.readAllStandardOutput()).split(QLatin1Char('\n')).first());
    }

    QByteArray bytes() const
    {
        QFile log(logPath);
        return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    }

    // Waits until the logger has `expected`, then types one more key: it must
    // arrive right behind, so nothing stray came before it or in between.
    void expectExactly(const QByteArray& expected)
    {
        pumpUntil([&] { return bytes().size() >= expected.size(); }, Patience::transfer);
        XTestKeyboard keyboard;
        keyboard.tap("z");
        pumpUntil([&] { return bytes().endsWith('z'); }, Patience::transfer);
        EXPECT_EQ(bytes().toHex(' ').toStdString(), (expected + 'z').toHex(' ').toStdString());
    }

private:
    QTemporaryDir folder;
    QString logPath;
    QProcess process;
};

struct TerminalCase {
    const char* name;
    QString program;
    QStringList arguments; // name the window "dictation target"
    bool bracketed;
};

void PrintTo(const TerminalCase& terminal, std::ostream* out)
{
    *out << terminal.name;
}

const QString windowTitle = QStringLiteral("dictation target");

class PasteIntoTerminals : public ::testing::TestWithParam<TerminalCase> {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "needs an X display";
    }

    std::shared_ptr<QtPasteboard> clipboard = std::make_shared<QtPasteboard>();
    std::shared_ptr<QtPasteboard> primary = std::make_shared<QtPasteboard>(QClipboard::Selection);
    std::shared_ptr<X11KeySynthesizer> keys = std::make_shared<X11KeySynthesizer>();
    TextInserter inserter{clipboard, keys, patientPasteTiming(), {}, primary, std::make_shared<X11PasteDelivery>()};
};

} // namespace

// The dictated text reaches the program in the terminal byte for byte, with
// no control character ahead of it, and the user's clipboard and selection
// (owned by another application) are theirs again afterwards.
TEST_P(PasteIntoTerminals, ProgramReadsExactlyTheTextAndBothSelectionsComeBack)
{
    const TerminalCase& terminal = GetParam();
    PasteTarget owner;
    ASSERT_TRUE(owner.start(testToolPath(QStringLiteral("paste_target_qt"))));
    ASSERT_FALSE(owner.ask("copy", "copied").isEmpty());
    ASSERT_FALSE(owner.ask("select", "selected").isEmpty());
    ASSERT_TRUE(pumpUntil([] {
        return !QGuiApplication::clipboard()->ownsClipboard() && !QGuiApplication::clipboard()->ownsSelection();
    }));

    LoggedTerminal logged;
    ASSERT_TRUE(logged.start(terminal.program, terminal.arguments, terminal.bracketed));
    ASSERT_TRUE(logged.activate(windowTitle));

    const QString text = QString::fromUtf8("ls -l Grüße ");
    inserter.paste(text);
    ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }, 15000));

    const QByteArray pasted = text.toUtf8();
    logged.expectExactly(terminal.bracketed ? "\x1b[200~" + pasted + "\x1b[201~" : pasted);
    EXPECT_EQ(owner.ask("clipboard", "clipboard "), "clipboard " + QByteArray("user text").toBase64() + " 8x8 #ff0000");
    EXPECT_EQ(owner.ask("selection", "selection "), "selection " + QByteArray("user selection").toBase64());
}

// The user holds Left Shift as the text arrives and lets go of it just
// before the Insert: the chord's own Shift still makes xterm paste.
TEST_F(PasteIntoTerminals, UsersShiftGoingUpBeforeTheInsertTakesNothingFromThePaste)
{
    LoggedTerminal logged;
    ASSERT_TRUE(logged.start(QStringLiteral("xterm"),
        {QStringLiteral("-name"), QStringLiteral("xterm"), QStringLiteral("-T"), windowTitle}, false));
    ASSERT_TRUE(logged.activate(windowTitle));
    XTestKeyboard user;
    user.press("Shift_L");
    keys->setBeforeChord(user.releaseOnce("Shift_L"));

    inserter.paste(QStringLiteral("echo shifted "));
    ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }, 15000));
    logged.expectExactly("echo shifted ");
}

// Layouts switched by modifier keys: at some level a Ctrl or Shift key is a
// layout switch. The user holds Left Shift as each text arrives, in either
// layout: the chord switches nothing, and the program reads every text whole.
TEST_P(PasteIntoTerminals, NoLayoutSwitchOptionTakesTheChordForASwitch)
{
    const TerminalCase& terminal = GetParam();
    LoggedTerminal logged;
    ASSERT_TRUE(logged.start(terminal.program, terminal.arguments, terminal.bracketed));
    ASSERT_TRUE(logged.activate(windowTitle));
    XTestKeyboard user;
    QByteArray expected;
    const QStringList changed = user.pasteUnderEachLayoutSwitch("Shift_L", [&](const QString& text) {
        inserter.paste(text);
        ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }, 15000));
        expected += terminal.bracketed ? "\x1b[200~" + text.toLatin1() + "\x1b[201~" : text.toLatin1();
    });
    EXPECT_TRUE(changed.isEmpty()) << changed.join('\n').toStdString();
    logged.expectExactly(expected);
}

// Slow Keys at 300 ms, as the desktop's accessibility settings set them: the
// chord's key stays down long enough to count, and not long enough to repeat.
TEST_P(PasteIntoTerminals, SlowKeysTakeTheChordOnce)
{
    const TerminalCase& terminal = GetParam();
    LoggedTerminal logged;
    ASSERT_TRUE(logged.start(terminal.program, terminal.arguments, terminal.bracketed));
    ASSERT_TRUE(logged.activate(windowTitle));
    XTestKeyboard user;
    user.setSlowAndBounceKeys(300, 0);
    inserter.paste(QStringLiteral("echo slowly "));
    ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }, 15000));
    // The check's own key is a tap.
    user.setSlowAndBounceKeys(0, 0);
    logged.expectExactly(terminal.bracketed ? "\x1b[200~echo slowly \x1b[201~" : QByteArray("echo slowly "));
}

INSTANTIATE_TEST_SUITE_P(Terminals, PasteIntoTerminals,
    ::testing::Values(TerminalCase{"xterm_raw", QStringLiteral("xterm"),
                          {QStringLiteral("-name"), QStringLiteral("xterm"), QStringLiteral("-T"), windowTitle}, false},
        TerminalCase{"xterm_bracketed", QStringLiteral("xterm"),
            {QStringLiteral("-class"), QStringLiteral("UXTerm"), QStringLiteral("-T"), windowTitle}, true},
        TerminalCase{"urxvt_bracketed", QStringLiteral("urxvt"), {QStringLiteral("-title"), windowTitle}, true},
        TerminalCase{"lxterminal_bracketed", QStringLiteral("lxterminal"),
            {QStringLiteral("--no-remote"), QStringLiteral("--title=") + windowTitle}, true}),
    [](const ::testing::TestParamInfo<TerminalCase>& terminal) { return std::string(terminal.param.name); });

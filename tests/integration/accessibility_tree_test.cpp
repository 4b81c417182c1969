// The real binary as a screen reader meets it on a GNOME desktop: its
// accessibility tree read from outside through the session's accessibility
// bus. In every window, the
// tray menu and the popover's model list, each control has a name, no two
// controls share a name and role, and Tab reaches every control that takes
// the focus.
#include "support/EventLoop.h"
#include "support/Patience.h"
#include "support/XTestKeyboard.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QSystemTrayIcon>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

namespace {

struct Node {
    QString role;
    QString name;
    QSet<QString> states;
    QStringList actions;
    QString path;
    QList<Node> children;

    bool shown() const { return states.contains("showing") && states.contains("visible"); }
    bool isControl() const { return shown() && (!actions.isEmpty() || states.contains("focusable")); }
    // Menu items take the keyboard's highlight rather than the focus.
    bool takesFocus() const
    {
        return shown() && states.contains("enabled") && (states.contains("focusable") || role == "menu item");
    }
    QString label() const { return role + " \"" + name + "\" at " + path; }
};

Node parse(const QJsonObject& object, const QString& path)
{
    Node node{object["role"].toString(), object["name"].toString(), {}, {}, path, {}};
    for (const QJsonValue& state : object["states"].toArray())
        node.states.insert(state.toString());
    for (const QJsonValue& action : object["actions"].toArray())
        node.actions.append(action.toString());
    const QJsonArray children = object["children"].toArray();
    for (int index = 0; index < children.size(); ++index)
        node.children.append(parse(children.at(index).toObject(), path + '/' + QString::number(index)));
    return node;
}

void collect(const Node& node, const std::function<bool(const Node&)>& wanted, QList<Node>& into)
{
    if (wanted(node))
        into.append(node);
    for (const Node& child : node.children)
        collect(child, wanted, into);
}

QList<Node> controlsOf(const Node& window)
{
    QList<Node> found;
    for (const Node& child : window.children)
        collect(
            child, [](const Node& node) { return node.isControl(); }, found);
    return found;
}

// The reader of the tree: a small gi program that answers one JSON line per
// command.
class TreeReader {
public:
    bool start()
    {
        const QString script = qEnvironmentVariable("TALLOWIND_SOURCE_DIR") + "/tests/tools/atspi_walker.py";
        if (!QFile::exists(script))
            return false;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start("/usr/bin/python3", {script});
        return process.waitForStarted(10000);
    }

    ~TreeReader()
    {
        process.closeWriteChannel();
        if (!process.waitForFinished(5000))
            process.kill();
    }

    // The event loop runs meanwhile: the reader may ask this process about
    // its own tree too, and must not wait on it.
    QJsonObject ask(const QString& command)
    {
        process.write(command.toUtf8() + '\n');
        if (!pumpUntil([this] { return process.canReadLine(); }, Patience::transfer))
            return {{"error", "no answer to " + command}};
        return QJsonDocument::fromJson(process.readLine()).object();
    }

    // The application's windows; none while it is not on the bus yet.
    QList<Node> windows(qint64 pid)
    {
        QList<Node> result;
        const QJsonObject answer = ask("tree " + QString::number(pid));
        lastError = answer["error"].toString();
        const QJsonArray all = answer["windows"].toArray();
        for (int index = 0; index < all.size(); ++index)
            result.append(parse(all.at(index).toObject(), QString::number(index)));
        return result;
    }

    QString lastError;

private:
    QProcess process;
};

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The icon's window in the tray: the application's small window in the top
// panel.
std::optional<QPoint> trayIconCentre()
{
    for (const QString& id : run("xdotool", {"search", "--class", "Tallowind"}).split('\n', Qt::SkipEmptyParts)) {
        QHash<QString, int> geometry;
        for (const QString& line : run("xdotool", {"getwindowgeometry", "--shell", id}).split('\n'))
            if (const int equals = line.indexOf('='); equals > 0)
                geometry.insert(line.left(equals), line.mid(equals + 1).toInt());
        const int width = geometry.value("WIDTH");
        if (width >= 16 && width <= 48 && geometry.value("Y") < 40)
            return QPoint(geometry.value("X") + width / 2, geometry.value("Y") + geometry.value("HEIGHT") / 2);
    }
    return std::nullopt;
}

bool clickAt(QPoint point, int button)
{
    return QProcess::execute("xdotool",
               {"mousemove", QString::number(point.x()), QString::number(point.y()), "click", QString::number(button)})
        == 0;
}

class AccessibilityTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            GTEST_SKIP() << "needs the private test session";
        ASSERT_TRUE(home.isValid());
        tray.start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24"});
        ASSERT_TRUE(tray.waitForStarted(5000));
        ASSERT_TRUE(pumpUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000)) << "no tray";

        // A first launch: no model, and no server to download one from.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
        // As a GNOME terminal starts it: Qt then loads its GTK theme, whose
        // GTK would register the process a second time.
        environment.insert("XDG_CURRENT_DESKTOP", "GNOME");
        environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
        environment.insert("XDG_DATA_HOME", home.filePath("data"));
        environment.insert("XDG_CACHE_HOME", home.filePath("cache"));
        environment.insert("TALLOWIND_MODEL_BASE_URL", "http://127.0.0.1:9/");
        app.setProcessEnvironment(environment);
        app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        app.start(QCoreApplication::applicationDirPath() + "/../tallowind", {});
        ASSERT_TRUE(app.waitForStarted(10000));
        ASSERT_TRUE(reader.start());
        ASSERT_TRUE(keyboard.isOpen());
    }

    void TearDown() override
    {
        for (QProcess* process : {&app, &tray}) {
            if (process->state() == QProcess::NotRunning)
                continue;
            process->terminate();
            if (!process->waitForFinished(5000))
                process->kill();
        }
    }

    // Waits for a shown window of the application with this name.
    std::optional<Node> window(const QString& name, int limitMs = 15000)
    {
        std::optional<Node> found;
        pumpUntil(
            [&] {
                for (const Node& each : reader.windows(app.processId()))
                    if (each.name == name && each.shown())
                        found = each;
                return found.has_value();
            },
            limitMs);
        return found;
    }

    std::optional<Node> control(const Node& window, const QString& role, const QString& name)
    {
        for (const Node& each : controlsOf(window))
            if (each.role == role && each.name == name)
                return each;
        return std::nullopt;
    }

    bool press(const Node& node)
    {
        return reader.ask("act " + QString::number(app.processId()) + " " + node.path)["done"].toBool();
    }

    // Waits until no window of the application with this name is shown.
    bool closed(const QString& name)
    {
        return pumpUntil(
            [&] {
                const QList<Node> windows = reader.windows(app.processId());
                return reader.lastError.isEmpty()
                    && std::none_of(windows.begin(), windows.end(),
                        [&](const Node& each) { return each.name == name && each.shown(); });
            },
            Patience::reply);
    }

    // The control of the window named `name` that has the focus.
    std::optional<Node> focused(const QString& name)
    {
        const std::optional<Node> current = window(name, 5000);
        if (!current)
            return std::nullopt;
        QList<Node> found;
        collect(
            *current, [](const Node& node) { return node.states.contains("focused"); }, found);
        // The deepest: a window holding the focus says so too.
        return found.isEmpty() ? std::nullopt : std::optional<Node>(found.last());
    }

    // Every rule, on the window as it is shown now.
    void expectNamedUniqueAndReachable(const QString& name)
    {
        SCOPED_TRACE(name.toStdString());
        const std::optional<Node> shown = window(name);
        ASSERT_TRUE(shown) << "no window \"" << name.toStdString() << "\" " << reader.lastError.toStdString();
        const QList<Node> controls = controlsOf(*shown);
        ASSERT_FALSE(controls.isEmpty());
        QHash<QString, QString> seen;
        QSet<QString> focusable;
        for (const Node& each : controls) {
            EXPECT_FALSE(each.name.trimmed().isEmpty()) << "no name: " << each.label().toStdString();
            const QString key = each.role + " \"" + each.name + "\"";
            EXPECT_FALSE(seen.contains(key))
                << "twice: " << each.label().toStdString() << " and " << seen.value(key).toStdString();
            seen.insert(key, each.path);
            if (each.takesFocus())
                focusable.insert(key);
        }

        // Tab round the window until the focus comes back to where it began.
        QSet<QString> reached;
        std::optional<Node> start = focused(name);
        QString previous = start ? start->path : QString();
        if (start)
            reached.insert(start->role + " \"" + start->name + "\"");
        for (int presses = 0; presses < 2 * focusable.size() + 4; ++presses) {
            keyboard.tap("Tab");
            std::optional<Node> now;
            const bool moved = pumpUntil(
                [&] {
                    now = focused(name);
                    return now && now->path != previous;
                },
                5000);
            if (!moved)
                break;
            previous = now->path;
            reached.insert(now->role + " \"" + now->name + "\"");
            if (start && now->path == start->path)
                break;
            if (!start)
                start = now;
        }
        for (const QString& key : focusable)
            EXPECT_TRUE(reached.contains(key)) << "Tab never reaches " << key.toStdString();
    }

    QTemporaryDir home;
    QProcess tray;
    QProcess app;
    TreeReader reader;
    XTestKeyboard keyboard;
};

} // namespace

bool isWindowRole(const std::optional<Node>& window)
{
    return window && QStringList{"frame", "window", "dialog"}.contains(window->role);
}

TEST_F(AccessibilityTree, EveryWindowMenuAndListIsNamedUniqueAndReachedByTab)
{
    // The welcome window of a first launch, of the one application the
    // process is on the bus.
    EXPECT_TRUE(isWindowRole(window("Welcome to Tallowind")));
    EXPECT_EQ(reader.ask("count " + QString::number(app.processId()))["count"].toInt(), 1);
    expectNamedUniqueAndReachable("Welcome to Tallowind");

    // The popover, under the icon, and its model list.
    std::optional<QPoint> icon;
    ASSERT_TRUE(pumpUntil([&] { return (icon = trayIconCentre()).has_value(); }, 15000)) << "the icon did not dock";
    ASSERT_TRUE(clickAt(*icon, 1));
    const std::optional<Node> popover = window("Tallowind popover");
    ASSERT_TRUE(popover) << "no popover";
    EXPECT_TRUE(isWindowRole(popover)) << popover->role.toStdString();
    expectNamedUniqueAndReachable("Tallowind popover");
    std::optional<Node> picker;
    for (const Node& each : controlsOf(*window("Tallowind popover")))
        if (each.name.startsWith("Model: "))
            picker = each;
    ASSERT_TRUE(picker) << "no model picker";
    ASSERT_TRUE(press(*picker));
    expectNamedUniqueAndReachable("Models");
    keyboard.tap("Escape");
    // The list holds the pointer until it closes: a click before then only
    // closes it.
    ASSERT_TRUE(closed("Models")) << "Escape left the model list open";

    // The tray menu, from which Settings opens.
    ASSERT_TRUE(clickAt(*icon, 3));
    const std::optional<Node> menu = window("Tallowind");
    ASSERT_TRUE(menu) << "the tray menu is not in the tree";
    expectNamedUniqueAndReachable("Tallowind");
    const std::optional<Node> settingsItem = control(*window("Tallowind"), "menu item", "Settings...");
    ASSERT_TRUE(settingsItem);
    ASSERT_TRUE(press(*settingsItem));

    // Every page of Settings, each chosen from the sidebar.
    const std::optional<Node> settings = window("Settings");
    ASSERT_TRUE(settings) << "no Settings window";
    EXPECT_TRUE(isWindowRole(settings)) << settings->role.toStdString();
    QList<Node> tabs;
    collect(
        *settings, [](const Node& node) { return node.role == "page tab"; }, tabs);
    ASSERT_GE(tabs.size(), 2) << "the sidebar is not a list of tabs";
    for (const Node& tab : tabs) {
        ASSERT_TRUE(press(tab));
        ASSERT_TRUE(pumpUntil(
            [&] {
                const std::optional<Node> shown = window("Settings", 5000);
                const std::optional<Node> now = shown ? control(*shown, "page tab", tab.name) : std::nullopt;
                return now && now->states.contains("selected");
            },
            10000))
            << "choosing " << tab.name.toStdString() << " did not select it";
        expectNamedUniqueAndReachable("Settings");
    }
}

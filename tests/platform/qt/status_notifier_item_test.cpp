// The parts of our own StatusNotifierItem that need no bus: the menu as a
// host lays it out, the pictures of the icon, and the pauses between offers
// to a watcher that refuses it. (A busy watcher and one that has the item
// already are tried against a real bus in the desktop suite.)
#include "platform/qt/DBusMenuExporter.h"
#include "platform/qt/StatusNotifierItem.h"
#include "platform/qt/StatusNotifierRegistration.h"
#include "support/EventLoop.h"
#include "support/LogCapture.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

QString titleOf(const DBusMenuLayoutItem& entry)
{
    if (entry.properties.value("type").toString() == "separator")
        return "--";
    return entry.properties.value("label").toString();
}

std::string titlesOf(const DBusMenuLayoutItem& root)
{
    QStringList titles;
    for (const DBusMenuLayoutItem& entry : root.children)
        titles.append(titleOf(entry));
    return titles.join(" | ").toStdString();
}

using Keys = std::vector<std::vector<std::string>>;

// An entry's "shortcut": the tokens of each key press.
Keys keysOf(const DBusMenuLayoutItem& entry)
{
    Keys keys;
    for (const QStringList& press : entry.properties.value("shortcut").value<QList<QStringList>>()) {
        keys.emplace_back();
        for (const QString& token : press)
            keys.back().push_back(token.toStdString());
    }
    return keys;
}

} // namespace

TEST(DBusMenuExporter, LaysTheMenuOutAsAHostReadsIt)
{
    QMenu menu;
    menu.addAction("Settings...")->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    menu.addSeparator();
    QAction* updates = menu.addAction("Check for &Updates...");
    updates->setEnabled(false);
    QAction* hidden = menu.addAction("Hidden");
    hidden->setVisible(false);
    menu.addAction("snake_case");
    menu.addAction("Quit")->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    DBusMenuExporter exporter;
    exporter.setMenu(&menu);

    const DBusMenuLayoutItem root = exporter.layout();
    EXPECT_EQ(root.id, 0);
    EXPECT_EQ(root.properties.value("children-display").toString(), "submenu");
    ASSERT_EQ(titlesOf(root), "Settings... | -- | Check for _Updates... | Hidden | snake__case | Quit");
    QSet<int> ids;
    QStringList shown;
    QStringList usable;
    for (const DBusMenuLayoutItem& entry : root.children) {
        EXPECT_GT(entry.id, 0);
        ids.insert(entry.id);
        EXPECT_TRUE(entry.children.isEmpty());
        // Stated every time: a host keeps a value the next layout leaves out.
        shown.append(entry.properties.value("visible", "missing").toString());
        usable.append(entry.properties.value("enabled", "missing").toString());
    }
    EXPECT_EQ(ids.size(), 6) << "each entry has an id of its own";
    EXPECT_EQ(shown.join(' ').toStdString(), "true true true false true true");
    EXPECT_EQ(usable.join(' ').toStdString(), "true true false false true true");
    // The keys as hosts read them back: modifiers by the protocol's names,
    // then the key as QKeySequence writes it.
    EXPECT_EQ(keysOf(root.children[0]), (Keys{{"Control", ","}}));
    EXPECT_EQ(keysOf(root.children[5]), (Keys{{"Control", "Q"}}));
    EXPECT_FALSE(root.children[4].properties.contains("shortcut"));

    // Depth 0 gives the root alone; an entry's id gives that entry.
    DBusMenuLayoutItem read;
    exporter.GetLayout(0, 0, {}, read);
    EXPECT_TRUE(read.children.isEmpty());
    exporter.GetLayout(root.children[0].id, -1, {}, read);
    EXPECT_EQ(titleOf(read), "Settings...");
}

TEST(DBusMenuExporter, APickTriggersItsActionOnceTheAnswerHasGone)
{
    QMenu menu;
    QAction* quit = menu.addAction("Quit");
    QAction* off = menu.addAction("Off");
    off->setEnabled(false);
    DBusMenuExporter exporter;
    exporter.setMenu(&menu);
    const DBusMenuLayoutItem root = exporter.layout();
    QSignalSpy quits(quit, &QAction::triggered);
    QSignalSpy offs(off, &QAction::triggered);

    exporter.Event(root.children[0].id, "clicked", QDBusVariant(0), 0);
    exporter.Event(root.children[1].id, "clicked", QDBusVariant(0), 0);
    exporter.Event(root.children[0].id, "hovered", QDBusVariant(0), 0);
    EXPECT_EQ(quits.count(), 0) << "not while the call is answered";
    EXPECT_TRUE(pumpUntil([&] { return quits.count() == 1; }, 2000));
    pumpFor(50);
    EXPECT_EQ(quits.count(), 1);
    EXPECT_EQ(offs.count(), 0) << "a disabled entry does nothing";

    const QList<int> errors = exporter.EventGroup({{999, "clicked", QDBusVariant(0), 0}});
    EXPECT_EQ(errors, QList<int>{999});
}

TEST(DBusMenuExporter, AChangedMenuIsAnnouncedOncePerTurn)
{
    QMenu menu;
    DBusMenuExporter exporter;
    exporter.setMenu(&menu);
    pumpFor(20);
    QSignalSpy updates(&exporter, &DBusMenuExporter::LayoutUpdated);
    DBusMenuLayoutItem before;
    const uint first = exporter.GetLayout(0, -1, {}, before);

    menu.addAction("One");
    menu.addAction("Two")->setText("Two again");
    ASSERT_TRUE(pumpUntil([&] { return updates.count() == 1; }, 2000));
    pumpFor(20);
    EXPECT_EQ(updates.count(), 1);
    EXPECT_GT(updates.first().at(0).toUInt(), first);
    EXPECT_EQ(updates.first().at(1).toInt(), 0);
    DBusMenuLayoutItem after;
    EXPECT_EQ(exporter.GetLayout(0, -1, {}, after), updates.first().at(0).toUInt());
    EXPECT_EQ(titlesOf(after), "One | Two again");
}

TEST(StatusNotifierItem, OffersTheIconInNetworkByteOrderAtTheSizesTraysUse)
{
    QPixmap red(64, 64);
    red.fill(QColor(255, 0, 0));
    const QList<StatusNotifierPixmap> pixmaps = StatusNotifierItem::pixmapsOf(QIcon(red));
    QList<int> sides;
    for (const StatusNotifierPixmap& pixmap : pixmaps) {
        sides.append(pixmap.width);
        EXPECT_EQ(pixmap.width, pixmap.height);
        ASSERT_EQ(pixmap.argb.size(), qsizetype(pixmap.width) * pixmap.height * 4);
        // Alpha, red, green, blue: most significant byte first.
        EXPECT_EQ(static_cast<unsigned char>(pixmap.argb[0]), 0xff);
        EXPECT_EQ(static_cast<unsigned char>(pixmap.argb[1]), 0xff);
        EXPECT_EQ(static_cast<unsigned char>(pixmap.argb[2]), 0x00);
        EXPECT_EQ(static_cast<unsigned char>(pixmap.argb[3]), 0x00);
    }
    EXPECT_EQ(sides, (QList<int>{16, 22, 24, 32, 48, 64}));
    EXPECT_TRUE(StatusNotifierItem::pixmapsOf(QIcon()).isEmpty());
}

TEST(StatusNotifierItem, MakesTheDataOfEachIconOnce)
{
    QPixmap red(64, 64);
    red.fill(QColor(255, 0, 0));
    QPixmap blue(64, 64);
    blue.fill(QColor(0, 0, 255));
    const QIcon idle(red);
    StatusNotifierItem item;
    item.setIcon(idle);
    const QList<StatusNotifierPixmap> first = item.iconPixmap();
    ASSERT_FALSE(first.isEmpty());
    item.setIcon(QIcon(blue));
    EXPECT_NE(item.iconPixmap().first().argb, first.first().argb);
    item.setIcon(idle);
    EXPECT_EQ(item.iconPixmap().first().argb.constData(), first.first().argb.constData()) << "made anew";
}

namespace {

using State = StatusNotifierRegistration::State;
using Host = StatusNotifierRegistration::HostAnswer;
using Offer = StatusNotifierRegistration::OfferAnswer;

class StatusNotifierRegistrationTest : public ::testing::Test {
protected:
    // The steps asked for since the last look, as "host offer list".
    std::string stepsTaken() { return std::exchange(steps, {}); }
    int linesWith(const char* text) const { return int(log.systemLines().filter(text).size()); }

    std::string steps;
    LogCapture log;
    StatusNotifierRegistration registration{{
                                                [this] { steps += steps.empty() ? "host" : " host"; },
                                                [this] { steps += steps.empty() ? "offer" : " offer"; },
                                                [this] { steps += steps.empty() ? "list" : " list"; },
                                                {},
                                            },
        StatusNotifierTiming{-1, 10, 40}};
};

} // namespace

TEST_F(StatusNotifierRegistrationTest, ARefusingWatcherIsOfferedTheItemAgainOnItsOwnWithAGrowingPauseAndOneLine)
{
    registration.setActive(true);
    registration.watcherAppeared();
    registration.hostAnswered(Host::some);
    stepsTaken();

    std::vector<int> pauses;
    for (int refusal = 0; refusal < 4; ++refusal) {
        registration.offerAnswered(Offer::refused, "not wanted");
        ASSERT_EQ(registration.state(), State::refused);
        pauses.push_back(registration.retryDelayMs());
        ASSERT_TRUE(pumpUntil([&] { return !steps.empty(); }, 2000)) << "not offered again";
        EXPECT_EQ(stepsTaken(), "offer");
    }
    EXPECT_EQ(pauses, (std::vector<int>{10, 20, 40, 40}));

    // A host that comes meanwhile brings an offer at once, one while it is
    // out; a refusal of it waits out the grown pause again.
    registration.offerAnswered(Offer::refused, "not wanted");
    registration.hostRegistered();
    registration.hostRegistered();
    EXPECT_EQ(stepsTaken(), "offer");
    EXPECT_EQ(registration.retryDelayMs(), 0);
    registration.offerAnswered(Offer::refused, "not wanted");
    EXPECT_EQ(registration.retryDelayMs(), 40);
    EXPECT_EQ(linesWith("did not take the tray icon (not wanted)"), 1) << "one line per watcher";
    ASSERT_TRUE(pumpUntil([&] { return !steps.empty(); }, 2000)) << "not offered again";
    EXPECT_EQ(stepsTaken(), "offer");

    registration.offerAnswered(Offer::taken);
    EXPECT_EQ(registration.state(), State::registered);
    EXPECT_EQ(registration.retryDelayMs(), 0);

    // The next watcher starts afresh: its own line, the first pause.
    registration.watcherAppeared();
    registration.hostAnswered(Host::some);
    registration.offerAnswered(Offer::refused, "not wanted");
    EXPECT_EQ(registration.retryDelayMs(), 10);
    EXPECT_EQ(linesWith("did not take"), 2);
    // A watcher that goes away takes its pause with it.
    registration.watcherGone();
    EXPECT_EQ(registration.state(), State::noWatcher);
    EXPECT_EQ(registration.retryDelayMs(), 0);
}

TEST_F(StatusNotifierRegistrationTest, AHostsClickShowsTheItemInAPanelAndStopsNoOffer)
{
    registration.setActive(true);
    // A panel that still shows the item of a watcher gone.
    registration.clickedInHost();
    EXPECT_TRUE(registration.isShownInHost());
    EXPECT_EQ(registration.state(), State::noWatcher);

    // A restarted watcher yet to answer: the click leaves the item to be
    // offered when it does.
    registration.watcherAppeared();
    registration.clickedInHost();
    registration.hostAnswered(Host::some);
    EXPECT_EQ(stepsTaken(), "host offer");

    // A refusing watcher is still offered the item after its pause.
    registration.watcherAppeared();
    registration.hostAnswered(Host::some);
    registration.offerAnswered(Offer::refused, "not wanted");
    stepsTaken();
    registration.clickedInHost();
    EXPECT_EQ(registration.state(), State::refused);
    EXPECT_EQ(registration.retryDelayMs(), 10);
    ASSERT_TRUE(pumpUntil([&] { return !steps.empty(); }, 2000)) << "not offered again";
    EXPECT_EQ(stepsTaken(), "offer");
}

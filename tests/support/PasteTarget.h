#pragma once

#include "core/input/TextInsertion.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// The path of a program built from tests/tools, beside the test executables.
QString testToolPath(const QString& name);
// Gives the window with X id `windowId` the keyboard focus, as the user's
// click would; false when the window manager refused.
bool activateWindow(const QString& windowId);
// Ends a helper process: asks first, then kills it after `graceMs`.
void stopProcess(QProcess& process, int graceMs);
// The tool's paste timings with every bound as long as a reply may take, for
// cases that check what is pasted and given back rather than the bounds: on
// loaded cores a sanitized clipboard owner has taken longer than the copy
// budget, and the clipboard then came back without the formats left unread.
PasteTiming patientPasteTiming();

// Another application (the paste targets in tests/tools) driven through its
// standard input and output: it prints "ready <window id>" once shown, and
// answers commands such as "text" with one line.
class PasteTarget {
public:
    ~PasteTarget();

    bool start(const QString& program, const QStringList& arguments = {},
        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
    QByteArray ask(const QByteArray& command, const QByteArray& answerPrefix);
    // Gives the target the keyboard focus, as the user's click would.
    bool activate() const;
    QString text();
    // Focuses the field anew. An application may take the focus before its
    // accessibility bridge is up and never announce it; this announces it.
    bool announceFocus() { return !ask("focus", "focused").isEmpty(); }
    qint64 processId() const { return process.processId(); }
    // Stops the target until resume() or its end, as a program busy with
    // something else: it answers nothing meanwhile.
    bool pause();
    void resume();
    const QString& windowId() const { return shownWindowId; }
    // The next line the target prints by itself that starts with `prefix`;
    // empty when none came.
    QByteArray awaitLine(const QByteArray& prefix);

private:
    QProcess process;
    bool paused = false;
    QByteArray buffer;
    QString shownWindowId;
};

#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>

// An X server of a test's own (Xvfb), on a display number it picks itself.
// It ends as a logout ends it, with TERM, and so removes its socket. One
// that had to be killed, or that crashed, leaves its socket (and its lock,
// where it made one) in /tmp: those go too, but only while no server is
// bound to the socket and the lock names this server, so another server of
// that number, later or of another session, keeps its own.
class PrivateXServer {
public:
    ~PrivateXServer() { stop(); }

    // True once the server listens; display() then names it.
    bool start(const QStringList& arguments = {"-nolisten", "tcp", "-noreset"});
    // ":<number>" of the last start, also once that server has ended.
    QByteArray display() const { return number.isEmpty() ? QByteArray() : ':' + number; }
    qint64 processId() const { return pid; }
    // Ends the server and waits for it: TERM, then KILL should it stay.
    void stop();
    // What the last server left of its display in /tmp: its socket while no
    // server is bound to it, its lock while the lock names it.
    QStringList leftovers() const;

private:
    QProcess process;
    QByteArray number;
    qint64 pid = 0;
    bool running = false;
};

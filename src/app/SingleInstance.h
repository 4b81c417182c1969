#pragma once

#include "platform/WindowActivation.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QLocalServer;
class QLocalSocket;
class QLockFile;

// One Tallowind per user, not per desktop session: two sessions of one user
// share the home folder, so a second Tallowind would take the first's
// downloads and recordings for leftovers. The first start holds a lock file
// in the user's runtime folder and listens on a local socket beside it; a
// later start finds the lock held, asks the holder through the socket to
// show itself, handing it the start's activation token, and ends; the holder
// answers with its process id and its X display, which may be another
// session's. The lock is the kernel's and names its
// holder's process, so one left behind by a killed run is stale and taken
// over.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        // This process is the user's Tallowind.
        first,
        // Another one runs and was asked to show itself.
        alreadyRunning,
        // Another one holds the lock but took no request.
        unanswered,
        // No lock could be made (no runtime folder, or not writable): the
        // start goes on unchecked.
        unchecked,
    };

    // `folder` holds the lock and the socket; `display` is the X display
    // this process runs on, which it names to later starts.
    explicit SingleInstance(const QString& folder, const QString& display = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The user's runtime folder, empty when none can be made.
    static QString runtimeFolder();

    // The start's activation token, taken only when another Tallowind runs.
    using TokenSource = std::function<ActivationToken()>;
    // Takes the lock and listens, or asks the holder to show itself on
    // behalf of this start, with the token `source` gives. Touches no file
    // but the lock and the socket.
    Claim claim(const TokenSource& source = {});
    // After an already-running claim, the process that answered (0 when it
    // did not say); after an unanswered one, the process the lock names.
    qint64 holder() const { return holderProcess; }
    // After an already-running claim, the X display the holder runs on;
    // empty when it did not say (one started before holders said it).
    QString holderDisplay() const { return holderDisplayName; }
    // What went wrong: after an unchecked or unanswered claim, or a first
    // one whose socket could not be opened.
    QString problem() const { return failure; }

    // Requests that came before this call are delivered now, later ones as
    // they come: the first start accepts them once it has launched.
    void acceptRequests();
    // The quit is over: the lock and the socket go, with the requests not
    // answered yet, so a later start is a start of its own.
    void giveUp();

signals:
    // `token` is empty for a request that carried none.
    void showRequested(const ActivationToken& token);

private:
    Claim listen();
    void takeConnections();
    void read(QLocalSocket* socket);
    void request(const ActivationToken& token);
    struct Answer {
        // 0 when the holder took the request without saying.
        qint64 process = 0;
        QString display;
    };
    // None when no holder took the request.
    std::optional<Answer> askHolder(const ActivationToken& token);

    QString lockPath;
    QString socketPath;
    // Named to later starts.
    QByteArray ownDisplay;
    std::unique_ptr<QLockFile> lock;
    QLocalServer* server = nullptr;
    qint64 holderProcess = 0;
    QString holderDisplayName;
    QString failure;
    bool accepting = false;
    std::optional<ActivationToken> pending;
};

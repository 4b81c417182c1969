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
// answers with its process id. The lock is the kernel's and names its
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

    // `folder` holds the lock and the socket.
    explicit SingleInstance(const QString& folder, QObject* parent = nullptr);
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
    // What went wrong: after an unchecked or unanswered claim, or a first
    // one whose socket could not be opened.
    QString problem() const { return failure; }

    // Requests that came before this call are delivered now, later ones as
    // they come: the first start accepts them once it has launched.
    void acceptRequests();

signals:
    // `token` is empty for a request that carried none.
    void showRequested(const ActivationToken& token);

private:
    Claim listen();
    void takeConnections();
    void read(QLocalSocket* socket);
    void request(const ActivationToken& token);
    // The answering process's id, 0 when it took the request without
    // saying; none when no holder took it.
    std::optional<qint64> askHolder(const ActivationToken& token);

    QString lockPath;
    QString socketPath;
    std::unique_ptr<QLockFile> lock;
    QLocalServer* server = nullptr;
    qint64 holderProcess = 0;
    QString failure;
    bool accepting = false;
    std::optional<ActivationToken> pending;
};

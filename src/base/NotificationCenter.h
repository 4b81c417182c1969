#pragma once

#include <QString>
#include <QVariantMap>

#include <functional>
#include <mutex>
#include <vector>

// In-process notifications by name, with the object that posted them (or
// none) and a user-info map. Observers run on the posting thread, in the
// order they were added.
struct Notification {
    QString name;
    QVariantMap userInfo;
    // Compared only, never dereferenced by the center.
    const void* object = nullptr;
};

class NotificationCenter {
public:
    using Token = quint64;
    using Observer = std::function<void(const Notification&)>;

    static NotificationCenter& shared();

    Token addObserver(const QString& name, Observer observer);
    void removeObserver(Token token);
    void post(const QString& name, const QVariantMap& userInfo = {}, const void* object = nullptr);

private:
    struct Entry {
        Token token;
        QString name;
        std::shared_ptr<Observer> observer;
    };
    std::mutex mutex;
    std::vector<Entry> entries;
    Token nextToken = 1;
};

// Removes its observer when it goes out of scope.
class NotificationObservation {
public:
    NotificationObservation() = default;
    NotificationObservation(const QString& name, NotificationCenter::Observer observer,
        NotificationCenter& center = NotificationCenter::shared());
    ~NotificationObservation() { reset(); }
    NotificationObservation(NotificationObservation&& other) noexcept;
    NotificationObservation& operator=(NotificationObservation&& other) noexcept;
    NotificationObservation(const NotificationObservation&) = delete;
    NotificationObservation& operator=(const NotificationObservation&) = delete;
    void reset();

private:
    NotificationCenter* observedCenter = nullptr;
    NotificationCenter::Token observerToken = 0;
};

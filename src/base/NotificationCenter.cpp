#include "base/NotificationCenter.h"

#include <algorithm>

NotificationCenter& NotificationCenter::shared()
{
    static NotificationCenter center;
    return center;
}

NotificationCenter::Token NotificationCenter::addObserver(const QString& name, Observer observer)
{
    std::lock_guard lock(mutex);
    const Token token = nextToken++;
    entries.push_back({token, name, std::make_shared<Observer>(std::move(observer))});
    return token;
}

void NotificationCenter::removeObserver(Token token)
{
    std::lock_guard lock(mutex);
    std::erase_if(entries, [token](const Entry& e) { return e.token == token; });
}

void NotificationCenter::post(const QString& name, const QVariantMap& userInfo, const void* object)
{
    // Copy the matching observers so one may add or remove observers while
    // it runs without invalidating this loop.
    std::vector<std::shared_ptr<Observer>> matching;
    {
        std::lock_guard lock(mutex);
        for (const Entry& e : entries)
            if (e.name == name)
                matching.push_back(e.observer);
    }
    const Notification notification{name, userInfo, object};
    for (const auto& observer : matching)
        (*observer)(notification);
}

NotificationObservation::NotificationObservation(
    const QString& name, NotificationCenter::Observer observer, NotificationCenter& center)
    : observedCenter(&center), observerToken(center.addObserver(name, std::move(observer)))
{
}

NotificationObservation::NotificationObservation(NotificationObservation&& other) noexcept
    : observedCenter(std::exchange(other.observedCenter, nullptr)), observerToken(std::exchange(other.observerToken, 0))
{
}

NotificationObservation& NotificationObservation::operator=(NotificationObservation&& other) noexcept
{
    if (this != &other) {
        reset();
        observedCenter = std::exchange(other.observedCenter, nullptr);
        observerToken = std::exchange(other.observerToken, 0);
    }
    return *this;
}

void NotificationObservation::reset()
{
    if (observedCenter)
        observedCenter->removeObserver(observerToken);
    observedCenter = nullptr;
    observerToken = 0;
}

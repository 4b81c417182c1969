#pragma once

#include <memory>
#include <mutex>

// Lets work on another thread hold an object weakly: a job enters through a
// token, learns whether the object still exists, and keeps it from being
// destroyed until it leaves. The guard's destruction waits for a job inside
// and turns every later entry away. Declare it as the owner's last member so
// it is retired before anything else of the owner goes.
class LifetimeGuard {
    struct State {
        std::mutex mutex;
        bool alive = true;
    };

public:
    class Token {
    public:
        // A held lock while the owner exists; an empty one once it is gone.
        std::unique_lock<std::mutex> enter() const
        {
            std::unique_lock lock(sharedState->mutex);
            if (!sharedState->alive)
                return {};
            return lock;
        }

    private:
        friend class LifetimeGuard;
        explicit Token(std::shared_ptr<State> state) : sharedState(std::move(state)) { }
        std::shared_ptr<State> sharedState;
    };

    LifetimeGuard() = default;
    ~LifetimeGuard()
    {
        std::lock_guard lock(sharedState->mutex);
        sharedState->alive = false;
    }
    LifetimeGuard(const LifetimeGuard&) = delete;
    LifetimeGuard& operator=(const LifetimeGuard&) = delete;

    Token token() const { return Token(sharedState); }

private:
    std::shared_ptr<State> sharedState = std::make_shared<State>();
};

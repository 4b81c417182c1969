#pragma once

#include "platform/SpeechRecognizer.h"

#include <atomic>
#include <mutex>
#include <vector>

// A recognizer the test drives by hand: it answers with what the test says,
// when the test says, on the thread the test calls from.
class FakeSpeechRecognizer final : public SpeechRecognizer {
public:
    class FakeTask final : public Task {
    public:
        explicit FakeTask(ResultHandler h) : handler(std::move(h)) { }

        void append(const float*, qsizetype frames, int sampleRate, int channels) override
        {
            appendedBuffers.fetch_add(1);
            appendedFrames.fetch_add(frames);
            lastSampleRate = sampleRate;
            lastChannels = channels;
        }
        void endAudio() override { audioEnded = true; }
        void cancel() override { cancelled = true; }

        void sendPartial(const QString& text) { handler(Result{text, false}, std::nullopt); }
        void sendFinal(const QString& text) { handler(Result{text, true}, std::nullopt); }
        void sendError(ErrorCode code) { handler(std::nullopt, Error{code, QStringLiteral("fake failure")}); }
        void sendResultWithError(const QString& text, ErrorCode code)
        {
            handler(Result{text, false}, Error{code, QStringLiteral("fake failure")});
        }

        ResultHandler handler;
        std::atomic<int> appendedBuffers{0};
        std::atomic<qsizetype> appendedFrames{0};
        std::atomic<int> lastSampleRate{0};
        std::atomic<int> lastChannels{0};
        std::atomic<bool> audioEnded{false};
        std::atomic<bool> cancelled{false};
    };

    AuthorizationStatus authorizationStatus() const override { return status; }

    // The answer becomes the status, as the user's decision does.
    void requestAuthorization(std::function<void(AuthorizationStatus)> completion) override
    {
        ++authorizationRequests;
        if (answerAtOnce) {
            status = answer;
            completion(answer);
        } else {
            pendingAuthorization = std::move(completion);
        }
    }

    // Answers a request that was held back.
    void answerAuthorization(AuthorizationStatus value)
    {
        auto completion = std::move(pendingAuthorization);
        pendingAuthorization = nullptr;
        status = value;
        if (completion)
            completion(value);
    }

    bool isAvailable() const override { return available; }

    void setAvailabilityHandler(std::function<void(bool)> handler) override
    {
        std::lock_guard lock(mutex);
        availabilityHandler = std::move(handler);
    }

    void changeAvailability(bool value)
    {
        available = value;
        std::function<void(bool)> handler;
        {
            std::lock_guard lock(mutex);
            handler = availabilityHandler;
        }
        if (handler)
            handler(value);
    }

    std::shared_ptr<Task> startTask(ResultHandler handler) override
    {
        if (refuseTasks)
            return nullptr;
        auto task = std::make_shared<FakeTask>(std::move(handler));
        std::lock_guard lock(mutex);
        tasks.push_back(task);
        return task;
    }

    std::shared_ptr<FakeTask> lastTask() const
    {
        std::lock_guard lock(mutex);
        return tasks.empty() ? nullptr : tasks.back();
    }
    size_t taskCount() const
    {
        std::lock_guard lock(mutex);
        return tasks.size();
    }

    AuthorizationStatus status = AuthorizationStatus::authorized;
    AuthorizationStatus answer = AuthorizationStatus::authorized;
    bool answerAtOnce = true;
    std::atomic<bool> available{true};
    bool refuseTasks = false;
    int authorizationRequests = 0;
    std::function<void(AuthorizationStatus)> pendingAuthorization;

private:
    mutable std::mutex mutex;
    std::function<void(bool)> availabilityHandler;
    std::vector<std::shared_ptr<FakeTask>> tasks;
};

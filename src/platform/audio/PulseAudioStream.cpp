#include "platform/audio/PulseAudioStream.h"

#include "base/Log.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>
#include <pulse/timeval.h>

#include <cstring>

namespace {

// The server hands over captured audio at about this interval.
constexpr pa_usec_t fragmentInterval = 20000;

pa_sample_spec sampleSpec()
{
    return {PA_SAMPLE_FLOAT32NE, static_cast<uint32_t>(PulseAudioStream::sampleRate), 1};
}

void wakeWaiter(void* mainloop)
{
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(mainloop), 0);
}

void contextStateChanged(pa_context*, void* mainloop)
{
    wakeWaiter(mainloop);
}

// A recording starts on the GUI thread: a server that takes the connection
// but never answers must not hold it up for longer than this.
constexpr pa_usec_t answerWithin = 3 * PA_USEC_PER_SEC;

// Wakes the waits of connect() once the server has had its time. Made, read
// and freed with the loop locked.
class AnswerDeadline {
public:
    explicit AnswerDeadline(pa_threaded_mainloop* loop) : mainloop(loop), api(pa_threaded_mainloop_get_api(loop))
    {
        timeval at{};
        pa_timeval_add(pa_gettimeofday(&at), answerWithin);
        event = api->time_new(api, &at, &AnswerDeadline::reached, this);
    }
    ~AnswerDeadline()
    {
        if (event)
            api->time_free(event);
    }
    AnswerDeadline(const AnswerDeadline&) = delete;
    AnswerDeadline& operator=(const AnswerDeadline&) = delete;

    bool hasPassed() const { return passed; }

private:
    static void reached(pa_mainloop_api*, pa_time_event*, const timeval*, void* self)
    {
        auto* deadline = static_cast<AnswerDeadline*>(self);
        deadline->passed = true;
        pa_threaded_mainloop_signal(deadline->mainloop, 0);
    }

    pa_threaded_mainloop* mainloop;
    pa_mainloop_api* api;
    pa_time_event* event = nullptr;
    bool passed = false;
};

const QString noAnswer = QStringLiteral("The sound server did not answer.");

QString reason(pa_context* context)
{
    return QString::fromUtf8(pa_strerror(pa_context_errno(context)));
}

} // namespace

PulseAudioStream::PulseAudioStream(QByteArray serverAddress) : server(std::move(serverAddress)) { }

PulseAudioStream::~PulseAudioStream()
{
    stop();
}

void PulseAudioStream::installTap(Tap tap)
{
    std::lock_guard lock(tapMutex);
    bufferTap = std::move(tap);
}

void PulseAudioStream::removeTap()
{
    std::lock_guard lock(tapMutex);
    bufferTap = nullptr;
}

bool PulseAudioStream::start(QString* errorDescription)
{
    if (running)
        return true;
    bool hasTap = false;
    {
        std::lock_guard lock(tapMutex);
        hasTap = static_cast<bool>(bufferTap);
    }
    if (!hasTap) {
        running = true;
        return true;
    }

    mainloop = pa_threaded_mainloop_new();
    if (!mainloop || pa_threaded_mainloop_start(mainloop) < 0) {
        release();
        if (errorDescription)
            *errorDescription = QStringLiteral("The audio input could not be set up.");
        return false;
    }
    pa_threaded_mainloop_lock(mainloop);
    const QString failure = connect();
    pa_threaded_mainloop_unlock(mainloop);
    if (!failure.isEmpty()) {
        release();
        if (errorDescription)
            *errorDescription = failure;
        return false;
    }
    running = true;
    return true;
}

QString PulseAudioStream::connect()
{
    context = pa_context_new(pa_threaded_mainloop_get_api(mainloop), "Tallowind");
    if (!context)
        return QStringLiteral("The audio input could not be set up.");
    pa_context_set_state_callback(context, contextStateChanged, mainloop);
    const QString unreachable = QStringLiteral("The sound server could not be reached (%1).");
    if (pa_context_connect(context, server.isEmpty() ? nullptr : server.constData(), PA_CONTEXT_NOFLAGS, nullptr) < 0)
        return unreachable.arg(reason(context));
    const AnswerDeadline deadline(mainloop);
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(context);
        if (state == PA_CONTEXT_READY)
            break;
        if (!PA_CONTEXT_IS_GOOD(state))
            return unreachable.arg(reason(context));
        if (deadline.hasPassed())
            return noAnswer;
        pa_threaded_mainloop_wait(mainloop);
    }

    const pa_sample_spec format = sampleSpec();
    recordStream = pa_stream_new(context, "Dictation", &format, nullptr);
    if (!recordStream)
        return QStringLiteral("The audio input could not be opened (%1).").arg(reason(context));
    pa_stream_set_state_callback(recordStream, streamStateChanged, this);
    pa_stream_set_read_callback(recordStream, readAvailable, this);
    const auto unset = static_cast<uint32_t>(-1);
    const pa_buffer_attr buffering{
        unset, unset, unset, unset, static_cast<uint32_t>(pa_usec_to_bytes(fragmentInterval, &format))};
    // No source named: the server's default one.
    if (pa_stream_connect_record(recordStream, nullptr, &buffering, PA_STREAM_ADJUST_LATENCY) < 0)
        return QStringLiteral("The audio input could not be opened (%1).").arg(reason(context));
    for (;;) {
        const pa_stream_state_t state = pa_stream_get_state(recordStream);
        if (state == PA_STREAM_READY)
            return {};
        if (!PA_STREAM_IS_GOOD(state))
            return QStringLiteral("The audio input could not be opened (%1).").arg(reason(context));
        if (deadline.hasPassed())
            return noAnswer;
        pa_threaded_mainloop_wait(mainloop);
    }
}

void PulseAudioStream::stop()
{
    if (!running)
        return;
    release();
    running = false;
}

void PulseAudioStream::release()
{
    // Returns once the thread has ended, without waiting for any data.
    if (mainloop)
        pa_threaded_mainloop_stop(mainloop);
    if (recordStream) {
        pa_stream_set_state_callback(recordStream, nullptr, nullptr);
        pa_stream_set_read_callback(recordStream, nullptr, nullptr);
        pa_stream_disconnect(recordStream);
        pa_stream_unref(recordStream);
        recordStream = nullptr;
    }
    if (context) {
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
        context = nullptr;
    }
    if (mainloop) {
        pa_threaded_mainloop_free(mainloop);
        mainloop = nullptr;
    }
}

void PulseAudioStream::streamStateChanged(pa_stream* stream, void* self)
{
    auto* owner = static_cast<PulseAudioStream*>(self);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    // Once it runs, a failure means the server went away: what was captured
    // so far stays with the recording.
    if (state == PA_STREAM_FAILED && owner->running)
        Log::system(QStringLiteral("[PulseAudioStream] The sound server stopped delivering audio: %1")
                        .arg(reason(pa_stream_get_context(stream))));
    wakeWaiter(owner->mainloop);
}

void PulseAudioStream::readAvailable(pa_stream* stream, size_t, void* self)
{
    auto* owner = static_cast<PulseAudioStream*>(self);
    for (;;) {
        const void* data = nullptr;
        size_t length = 0;
        if (pa_stream_peek(stream, &data, &length) < 0 || length == 0)
            return;
        // A hole (no data) is dropped like data.
        if (data) {
            owner->frames.resize(length / sizeof(float));
            std::memcpy(owner->frames.data(), data, owner->frames.size() * sizeof(float));
        }
        pa_stream_drop(stream);
        if (!data || owner->frames.empty())
            continue;
        std::lock_guard lock(owner->tapMutex);
        if (!owner->bufferTap)
            continue;
        AudioBuffer buffer;
        buffer.frames = owner->frames.data();
        buffer.frameCount = static_cast<int64_t>(owner->frames.size());
        buffer.sampleRate = sampleRate;
        buffer.channelCount = 1;
        owner->bufferTap(buffer);
    }
}

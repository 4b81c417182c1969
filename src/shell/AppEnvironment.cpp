#include "shell/AppEnvironment.h"

#include "base/Dispatch.h"
#include "base/Published.h"
#include "core/speech/ModelManager.h"
#include "recording/RecordingManager.h"
#include "shell/errors/ErrorPresentationCoordinator.h"
#include "shell/windows/WindowManager.h"

#include <QPointer>
#include <QWidget>

#include <cassert>

namespace {

// Ties a hub to a view without keeping it alive: the link forgets a hub
// that has gone.
class AppEnvironmentLink : public QObject {
    Q_OBJECT
public:
    AppEnvironmentLink(QWidget* view, AppEnvironment* environment) : QObject(view), hub(environment) { }
    QPointer<AppEnvironment> hub;
};

// Recording failures that are not application errors keep their text.
TallowindError asRecordingFailure(const RecordingManager::CaptureError& failure)
{
    if (const auto* own = std::get_if<TallowindError>(&failure))
        return *own;
    return TallowindError::recordingFailed(std::get<DomainError>(failure).localizedDescription);
}

TallowindError asTranscriptionFailure(const RecordingManager::CaptureError& failure)
{
    if (const auto* own = std::get_if<TallowindError>(&failure))
        return *own;
    return TallowindError::transcriptionFailed(std::get<DomainError>(failure).localizedDescription);
}

} // namespace

AppEnvironment::AppEnvironment(ModelManager& modelManager, RecordingManager& recordingManager, QObject* parent)
    : QObject(parent),
      models(modelManager),
      recordings(recordingManager),
      windows(WindowManager::shared()),
      coordinator(new ErrorPresentationCoordinator(this))
{
    QPointer<AppEnvironment> self(this);
    Dispatch::main().async([self] {
        if (self)
            self->setupBindings();
    });
}

AppEnvironment::AppEnvironment() : AppEnvironment(ModelManager::shared(), RecordingManager::shared()) { }

AppEnvironment::~AppEnvironment() = default;

AppEnvironment& AppEnvironment::shared()
{
    assert(Dispatch::isMainThread());
    static AppEnvironment* instance = new AppEnvironment;
    return *instance;
}

void AppEnvironment::setIsRecording(bool value)
{
    publish(this, recording, value, &AppEnvironment::isRecordingChanged);
}

void AppEnvironment::setCurrentTranscription(const QString& value)
{
    publish(this, transcription, value, &AppEnvironment::currentTranscriptionChanged);
}

void AppEnvironment::setAudioLevel(float value)
{
    publish(this, level, value, &AppEnvironment::audioLevelChanged);
}

void AppEnvironment::setCurrentError(const std::optional<TallowindError>& value)
{
    publish(this, error, value, &AppEnvironment::currentErrorChanged);
}

void AppEnvironment::setupBindings()
{
    // Each copy takes the current value, then every later one, delivered on
    // the main queue.
    setIsRecording(recordings.isRecording());
    setAudioLevel(recordings.audioLevel());
    setCurrentTranscription(recordings.currentTranscription());
    setCurrentError(coordinator->currentError());
    connect(&recordings, &RecordingManager::isRecordingChanged, this, &AppEnvironment::setIsRecording,
        Qt::QueuedConnection);
    connect(
        &recordings, &RecordingManager::audioLevelChanged, this, &AppEnvironment::setAudioLevel, Qt::QueuedConnection);
    connect(&recordings, &RecordingManager::currentTranscriptionChanged, this, &AppEnvironment::setCurrentTranscription,
        Qt::QueuedConnection);
    connect(coordinator, &ErrorPresentationCoordinator::currentErrorChanged, this, &AppEnvironment::setCurrentError,
        Qt::QueuedConnection);
}

void AppEnvironment::present(const TallowindError& failure)
{
    coordinator->present(failure);
}

void AppEnvironment::startRecording(Done done)
{
    QPointer<AppEnvironment> self(this);
    models.ensureModelLoaded([self, done](std::optional<TallowindError> failure) {
        if (!self)
            return;
        if (failure) {
            self->present(*failure);
            if (done)
                done();
            return;
        }
        self->recordings.startRecording([self, done](const std::optional<RecordingManager::CaptureError>& started) {
            if (self && started)
                self->present(asRecordingFailure(*started));
            if (done)
                done();
        });
    });
}

void AppEnvironment::stopRecording(Done done)
{
    QPointer<AppEnvironment> self(this);
    recordings.stopRecording(
        [self, done](const QString& text, const std::optional<RecordingManager::CaptureError>& failure) {
            if (self) {
                if (failure)
                    self->present(asTranscriptionFailure(*failure));
                else if (text.isEmpty())
                    self->present(TallowindError::emptyTranscriptionResult());
            }
            if (done)
                done();
        });
}

void AppEnvironment::toggleRecording(Done done)
{
    if (recording)
        stopRecording(std::move(done));
    else
        startRecording(std::move(done));
}

void AppEnvironment::switchModel(WhisperModel model, Done done)
{
    QPointer<AppEnvironment> self(this);
    models.switchModel(model, [self, done](std::optional<TallowindError> failure) {
        // The failure is presented on a later turn of the main queue.
        if (failure)
            Dispatch::main().async([self, failure] {
                if (self)
                    self->present(*failure);
            });
        if (done)
            done();
    });
}

void AppEnvironment::downloadModel(WhisperModel model, Done done)
{
    QPointer<AppEnvironment> self(this);
    models.downloadModel(model, [self, done](std::optional<TallowindError> failure) {
        if (self && failure)
            self->present(*failure);
        if (done)
            done();
    });
}

void AppEnvironment::handleError(const std::exception& failure)
{
    const auto* own = dynamic_cast<const TallowindError*>(&failure);
    const TallowindError presented = own ? *own : TallowindError::genericError(QString::fromUtf8(failure.what()));
    QPointer<AppEnvironment> self(this);
    Dispatch::main().async([self, presented] {
        if (self)
            self->present(presented);
    });
}

void AppEnvironment::openSettings()
{
    Dispatch::main().async([] { WindowManager::shared().openWindow(WindowType::settings); });
}

void AppEnvironment::openPopover()
{
    Dispatch::main().async([] { WindowManager::shared().openWindow(WindowType::popover); });
}

void AppEnvironment::showRecordingProgress()
{
    Dispatch::main().async([] { WindowManager::shared().openWindow(WindowType::recordingProgress); });
}

void AppEnvironment::hideRecordingProgress()
{
    Dispatch::main().async([] { WindowManager::shared().closeWindow(WindowType::recordingProgress); });
}

QWidget* withAppEnvironment(QWidget* view, AppEnvironment& environment)
{
    if (!view)
        return view;
    if (auto* link = view->findChild<AppEnvironmentLink*>(QString(), Qt::FindDirectChildrenOnly))
        link->hub = &environment;
    else
        new AppEnvironmentLink(view, &environment);
    return view;
}

AppEnvironment& appEnvironment(const QWidget* view)
{
    for (const QWidget* at = view; at; at = at->parentWidget())
        if (auto* link = at->findChild<AppEnvironmentLink*>(QString(), Qt::FindDirectChildrenOnly); link && link->hub)
            return *link->hub;
    return AppEnvironment::shared();
}

#include "AppEnvironment.moc"

#pragma once

#include "shell/theme/RecordingProgressTheme.h"

#include <QList>
#include <QObject>

// The recording indicator's model: the history of the last audio levels the
// capture path published, newest first, and a mirror of the recording
// store's own recording flag. It follows the shared recording manager from
// its creation on; the current values arrive on the next turn of the main
// queue.
class RecordingProgressViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isRecording READ isRecording WRITE setIsRecording NOTIFY isRecordingChanged)
    Q_PROPERTY(QList<float> audioLevels READ audioLevels WRITE setAudioLevels NOTIFY audioLevelsChanged)

public:
    static constexpr int historyLength = 30;

    explicit RecordingProgressViewModel(QObject* parent = nullptr);

    bool isRecording() const { return recording; }
    void setIsRecording(bool value);
    const QList<float>& audioLevels() const { return levels; }
    void setAudioLevels(const QList<float>& value);
    const RecordingProgressTheme& theme() const { return themeRecord; }

    // Puts `level` in front of the history; the oldest falls off the end.
    void updateAudioLevel(float level);

signals:
    void isRecordingChanged(bool isRecording);
    void audioLevelsChanged(const QList<float>& audioLevels);

private:
    void setupBindings();

    bool recording = true;
    QList<float> levels;
    RecordingProgressTheme themeRecord;
};

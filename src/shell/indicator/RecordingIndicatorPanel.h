#pragma once

#include "shell/indicator/IndicatorPlacement.h"

#include <QRectF>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class RecordingIndicatorHost;
class RecordingProgressView;

// The floating window that carries the recording indicator next to the text
// field being dictated into. It never takes the keyboard focus (the text is
// pasted into the field that has it): it is shown without activating and
// bypasses the window manager, which also keeps it above full-screen
// windows and on every desktop. Built once and reused: hiding only hides.
class RecordingIndicatorPanel : public QWidget {
    Q_OBJECT

public:
    using ScreenList = std::function<std::vector<IndicatorPlacement::Screen>()>;

    // `screens` defaults to the desktop's screens, the primary one first;
    // without a field the panel shows on the first.
    explicit RecordingIndicatorPanel(RecordingIndicatorHost* host = nullptr, ScreenList screens = {});

    RecordingProgressView* view() const { return content; }

    // Places the panel just above the field (below it when there is no room),
    // or at the fallback position without a field, and shows it in front.
    void showNear(const std::optional<QRectF>& field);
    void hideIndicator();

private:
    RecordingProgressView* content;
    ScreenList screens;
};

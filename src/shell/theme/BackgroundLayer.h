#pragma once

#include <QObject>

class QWidget;

// Lays `layer` behind every other child of `host`, covering it, and keeps it
// there as the host is resized or its content margins change. The layer
// takes the host's content margins, so a host can leave room around the
// painted shape (for its shadows) by giving itself margins.
void attachBehind(QWidget* layer, QWidget* host);

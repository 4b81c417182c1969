#pragma once

#include <QString>
#include <QStringList>

// Runs a command-line tool to its end; true when it exited with status 0.
// Tests that run with threads of ours use this rather than QProcess: Qt
// starts children with a clone that shares our memory until exec, and the
// child's calls then upset ThreadSanitizer's view of our threads.
bool runTool(const QString& program, const QStringList& arguments);

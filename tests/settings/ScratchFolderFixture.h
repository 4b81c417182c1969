#pragma once

#include "support/EventLoop.h"
#include "support/SettingsReset.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// An empty defaults store and a scratch folder; files are read and written
// whole, and a test answers the file chooser the code under test opens.
class ScratchFolderTest : public DefaultsTest {
protected:
    static void writeFile(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    static QByteArray readFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static QFileDialog* openDialog()
    {
        QFileDialog* found = nullptr;
        pumpUntil([&] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* dialog = qobject_cast<QFileDialog*>(widget); dialog && dialog->isVisible())
                    found = dialog;
            return found != nullptr;
        });
        return found;
    }
    // Accepts the open chooser with `path` chosen.
    static void choose(QFileDialog* dialog, const QString& path)
    {
        dialog->setDirectory(QFileInfo(path).absolutePath());
        dialog->selectFile(path);
        QMetaObject::invokeMethod(dialog, "accept");
    }

    QTemporaryDir folder;
};

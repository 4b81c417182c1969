#pragma once

#include "base/SettingsBacklog.h"

#include <QObject>
#include <QSettings>
#include <QString>
#include <QVariant>

#include <memory>

// The user defaults store: QSettings in a typed JSON file at
// ~/.config/Tallowind/Tallowind.json. Every write is synced at once. A write
// that fails (a full disk) is kept in memory, read back as if it were
// stored, and written again with the next write, by saveUnsaved() and at
// quit; what quitting cannot write either is named in the log.
namespace Defaults {

// Announces that the store was written. The signal is always emitted on the
// main thread: after a write on the main thread, before the write returns;
// after a write on another thread, on a later turn of the main event loop.
class ChangeSignal final : public QObject {
    Q_OBJECT
signals:
    void changed();
    // Settings could not be written, or what could not be written now is.
    void unsavedChanged();

private:
    friend ChangeSignal& changes();
    ChangeSignal() = default;
};

ChangeSignal& changes();

// A handle on the store for several edits at once. Writes through it
// (setValue, remove, clear) are announced once the handle syncs or closes.
class Store final : public QSettings {
public:
    Store();
    ~Store() override;
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    void setValue(QAnyStringView key, const QVariant& value);
    void remove(QAnyStringView key);
    void clear();
    void sync();

private:
    // This handle's writes, kept when the file cannot take them.
    SettingsBacklog::Edits edits;
    bool written = false;
};

QSettings::Format jsonFormat();
std::unique_ptr<Store> open();

QVariant value(const QString& key);
bool contains(const QString& key);
void setValue(const QString& key, const QVariant& value);
void remove(const QString& key);

// Why some settings are not on disk yet ("no space left on the device");
// empty when every setting is saved.
QString unsavedReason();
// Writes the settings an earlier write could not; true when none is left.
bool saveUnsaved();

// The conversions behind the file format, exposed for tests.
QByteArray encode(const QSettings::SettingsMap& map);
bool decode(const QByteArray& bytes, QSettings::SettingsMap& map);

} // namespace Defaults

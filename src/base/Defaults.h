#pragma once

#include <QObject>
#include <QSettings>
#include <QString>
#include <QVariant>

#include <memory>

// The user defaults store: QSettings in a typed JSON file at
// ~/.config/Tallowind/Tallowind.json. Every write is synced at once.
namespace Defaults {

// Announces that the store was written. The signal is always emitted on the
// main thread: after a write on the main thread, before the write returns;
// after a write on another thread, on a later turn of the main event loop.
class ChangeSignal final : public QObject {
    Q_OBJECT
signals:
    void changed();

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
    bool written = false;
};

QSettings::Format jsonFormat();
std::unique_ptr<Store> open();

QVariant value(const QString& key);
bool contains(const QString& key);
void setValue(const QString& key, const QVariant& value);
void remove(const QString& key);

// The conversions behind the file format, exposed for tests.
QByteArray encode(const QSettings::SettingsMap& map);
bool decode(const QByteArray& bytes, QSettings::SettingsMap& map);

} // namespace Defaults

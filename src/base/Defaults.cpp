#include "base/Defaults.h"

#include "base/Dispatch.h"
#include "base/FileAside.h"
#include "base/Log.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStorageInfo>

#include <mutex>
#include <optional>
#include <utility>

// JSON alone cannot tell 1.0 from 1 or text from bytes, so doubles and byte
// arrays are written as one-member objects {"@double": x} / {"@bytes": base64};
// bool, integer, string, list and map use their plain JSON forms.
namespace Defaults {
namespace {

const QString kDoubleTag = QStringLiteral("@double");
const QString kBytesTag = QStringLiteral("@bytes");

QJsonValue toJson(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return QJsonValue(value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return QJsonObject{{kDoubleTag, value.toDouble()}};
    case QMetaType::QByteArray:
        return QJsonObject{{kBytesTag, QString::fromLatin1(value.toByteArray().toBase64())}};
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
        QJsonArray array;
        for (const QVariant& item : value.toList())
            array.append(toJson(item));
        return array;
    }
    case QMetaType::QVariantMap: {
        QJsonObject object;
        const QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            object.insert(it.key(), toJson(it.value()));
        return object;
    }
    case QMetaType::UnknownType:
    case QMetaType::Nullptr:
        return QJsonValue::Null;
    default:
        return value.toString();
    }
}

QVariant fromJson(const QJsonValue& json)
{
    switch (json.type()) {
    case QJsonValue::Bool:
        return json.toBool();
    case QJsonValue::Double: {
        const double d = json.toDouble();
        const qint64 i = json.toInteger();
        if (static_cast<double>(i) == d) {
            if (i >= std::numeric_limits<int>::min() && i <= std::numeric_limits<int>::max())
                return static_cast<int>(i);
            return i;
        }
        return d;
    }
    case QJsonValue::String:
        return json.toString();
    case QJsonValue::Array: {
        QVariantList list;
        for (const QJsonValue& item : json.toArray())
            list.append(fromJson(item));
        return list;
    }
    case QJsonValue::Object: {
        const QJsonObject object = json.toObject();
        if (object.size() == 1 && object.contains(kDoubleTag))
            return object.value(kDoubleTag).toDouble();
        if (object.size() == 1 && object.contains(kBytesTag))
            return QByteArray::fromBase64(object.value(kBytesTag).toString().toLatin1());
        QVariantMap map;
        for (auto it = object.begin(); it != object.end(); ++it)
            map.insert(it.key(), fromJson(it.value()));
        return map;
    }
    default:
        return {};
    }
}

bool readFile(QIODevice& device, QSettings::SettingsMap& map)
{
    return decode(device.readAll(), map);
}

bool writeFile(QIODevice& device, const QSettings::SettingsMap& map)
{
    return device.write(encode(map)) >= 0;
}

} // namespace

QByteArray encode(const QSettings::SettingsMap& map)
{
    QJsonObject object;
    for (auto it = map.begin(); it != map.end(); ++it)
        object.insert(it.key(), toJson(it.value()));
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

bool decode(const QByteArray& bytes, QSettings::SettingsMap& map)
{
    if (bytes.trimmed().isEmpty())
        return true;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it)
        map.insert(it.key(), fromJson(it.value()));
    return true;
}

QSettings::Format jsonFormat()
{
    static const QSettings::Format format = QSettings::registerFormat(QStringLiteral("json"), readFile, writeFile);
    return format;
}

ChangeSignal& changes()
{
    static ChangeSignal* const signal = [] {
        auto* made = new ChangeSignal;
        // It belongs to the main thread even when a worker writes first.
        if (const QCoreApplication* app = QCoreApplication::instance())
            made->moveToThread(app->thread());
        return made;
    }();
    return *signal;
}

namespace {

void announceChange()
{
    if (Dispatch::isMainThread()) {
        emit changes().changed();
        return;
    }
    // Listeners are views and view models: they hear of a write made on a
    // worker thread on the main thread, never on the writer's.
    Dispatch::main().async([] { emit changes().changed(); });
}

// The window promised that kept changes are saved later; when the way out
// cannot save them either, they are lost, and the log says which and why.
void saveBeforeQuitting()
{
    if (saveUnsaved())
        return;
    Log::out(
        QStringLiteral("Quitting with settings that could not be saved to %1: %2; lost: %3")
            .arg(open()->fileName(), SettingsBacklog::reason(), SettingsBacklog::keys().join(QStringLiteral(", "))));
}

bool saveAtQuit()
{
    if (const QCoreApplication* app = QCoreApplication::instance())
        QObject::connect(app, &QCoreApplication::aboutToQuit, &changes(), [] { saveBeforeQuitting(); });
    return true;
}

void announceUnsaved()
{
    Dispatch::main().async([] {
        // The last chance for what is still unsaved is the way out.
        [[maybe_unused]] static const bool hooked = saveAtQuit();
        emit changes().unsavedChanged();
    });
}

// Qt reports every failed write as an access error; the free space tells a
// full disk from a folder we may not write.
QString describeWriteFailure(const QString& path)
{
    const QFileInfo file(path);
    QFileInfo folder(file.absolutePath());
    while (!folder.exists() && !folder.isRoot())
        folder.setFile(folder.absolutePath());
    // The file, and a block beside it for the copy that replaces it.
    const qint64 needed = file.size() + 4096;
    const QStorageInfo storage(folder.absoluteFilePath());
    if (storage.isValid() && storage.bytesAvailable() < needed)
        return QStringLiteral("no space left on the device");
    if (!folder.isDir() || !folder.isWritable() || (file.exists() && !file.isWritable()))
        return QStringLiteral("access denied");
    return QStringLiteral("the file could not be written");
}

} // namespace

Store::Store() : QSettings(jsonFormat(), QSettings::UserScope, QStringLiteral("Tallowind"), QStringLiteral("Tallowind"))
{
}

Store::~Store()
{
    if (written)
        sync();
}

void Store::setValue(QAnyStringView key, const QVariant& value)
{
    QSettings::setValue(key, value);
    edits.insert(key.toString(), value);
    written = true;
}

void Store::remove(QAnyStringView key)
{
    QSettings::remove(key);
    edits.insert(key.toString(), std::nullopt);
    written = true;
}

void Store::clear()
{
    // Whatever was kept unsaved is cleared with the rest.
    if (SettingsBacklog::discard())
        announceUnsaved();
    for (const QString& key : allKeys())
        edits.insert(key, std::nullopt);
    QSettings::clear();
    written = true;
}

void Store::sync()
{
    const bool carried = SettingsBacklog::applyTo(*this, edits);
    QSettings::sync();
    if (!written && !carried)
        return;
    if (status() == QSettings::NoError) {
        if (SettingsBacklog::discard()) {
            if (carried)
                Log::out(QStringLiteral("Saved the settings that could not be saved before to %1").arg(fileName()));
            announceUnsaved();
        }
    } else {
        const QString reason = describeWriteFailure(fileName());
        // Logged when it starts or its reason changes, not at every write.
        if (SettingsBacklog::keep(edits, reason)) {
            Log::out(QStringLiteral("Failed to save settings to %1: %2; kept them to write again with the next change")
                         .arg(fileName(), reason));
            announceUnsaved();
        }
    }
    edits.clear();
    if (!std::exchange(written, false))
        return;
    announceChange();
}

namespace {

std::unique_ptr<Store> openFile()
{
    return std::make_unique<Store>();
}

QString describe(QSettings::Status status)
{
    return status == QSettings::FormatError ? QStringLiteral("not valid settings JSON")
                                            : QStringLiteral("access denied");
}

} // namespace

std::unique_ptr<Store> open()
{
    // One caller at a time decides about an unreadable file.
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    std::unique_ptr<Store> settings = openFile();
    const QSettings::Status status = settings->status();
    const QString path = settings->fileName();
    const QFileInfo file(path);
    if (status == QSettings::NoError || !file.exists())
        return settings;
    // Only a file that cannot be read or decoded; one merely write-protected
    // is the user's to keep as it is.
    if (status == QSettings::AccessError && file.isFile() && file.isReadable())
        return settings;

    // The next write would replace the file with what could be read of it:
    // nothing. It is kept aside instead, and the store starts empty.
    settings.reset();
    QString error;
    const QString aside = moveFileAside(path, QDateTime::currentDateTime(), error);
    if (aside.isEmpty()) {
        Log::out(QStringLiteral("Settings file %1 could not be read (%2) nor kept aside: %3")
                     .arg(path, describe(status), error));
        return openFile();
    }
    Log::out(QStringLiteral("Settings file %1 could not be read (%2); kept it as "
                            "%3 and started from defaults")
                 .arg(path, describe(status), QFileInfo(aside).fileName()));
    return openFile();
}

namespace {

// Settings are read and written from several threads. QSettings shares one
// cache per file under a lock of Qt's own, which ThreadSanitizer cannot see
// (Qt is not instrumented); this lock makes that sharing visible. It is
// recursive because a write announces itself while the lock is held, and a
// listener on the main thread may read the store at once.
std::recursive_mutex& accessMutex()
{
    static std::recursive_mutex mutex;
    return mutex;
}

} // namespace

QVariant value(const QString& key)
{
    if (std::optional<QVariant> unsaved = SettingsBacklog::lookup(key))
        return *unsaved;
    std::lock_guard lock(accessMutex());
    return open()->value(key);
}

bool contains(const QString& key)
{
    if (std::optional<QVariant> unsaved = SettingsBacklog::lookup(key))
        return unsaved->isValid();
    std::lock_guard lock(accessMutex());
    return open()->contains(key);
}

void setValue(const QString& key, const QVariant& value)
{
    std::lock_guard lock(accessMutex());
    auto settings = open();
    settings->setValue(key, value);
    settings->sync();
}

void remove(const QString& key)
{
    std::lock_guard lock(accessMutex());
    auto settings = open();
    settings->remove(key);
    settings->sync();
}

QString unsavedReason()
{
    return SettingsBacklog::reason();
}

bool saveUnsaved()
{
    std::lock_guard lock(accessMutex());
    if (SettingsBacklog::isEmpty())
        return true;
    open()->sync();
    return SettingsBacklog::isEmpty();
}

} // namespace Defaults

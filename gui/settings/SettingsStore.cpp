// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/settings/SettingsStore.h"

#include <QFile>
#include <QSettings>
#include <QVariant>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace tidy {

namespace {

const QString kInitialFolder = QStringLiteral("initdir");
const QString kDriehoeken = QStringLiteral("driehoeken");
const QString kCurve = QStringLiteral("curve");

std::unique_ptr<QSettings> openStore() {
    auto settings =
        std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                    QStringLiteral("TQB55"), QStringLiteral("tidyland"));
    // Only the user's own values count: a system-wide or organisation-wide file must not
    // switch an option on behind the user's back.
    settings->setFallbacksEnabled(false);
    return settings;
}

// Opens the store to change it. Qt keeps reporting the format error of a damaged file for the
// life of the QSettings that read it, even once a write has replaced the file cleanly, so a
// write failure could not be told from the old damage and the store would refuse every later
// write. A damaged file is therefore replaced by a clean one holding the values still readable.
std::unique_ptr<QSettings> openForWriting() {
    auto settings = openStore();
    if (settings->status() != QSettings::FormatError)
        return settings;
    QVariantMap readable;
    for (const QString& name : {kInitialFolder, kDriehoeken, kCurve})
        if (settings->contains(name))
            readable.insert(name, settings->value(name));
    const QString file = settings->fileName();
    settings.reset();
    if (!QFile::remove(file))
        return nullptr;
    settings = openStore();
    for (auto it = readable.cbegin(); it != readable.cend(); ++it)
        settings->setValue(it.key(), it.value());
    return settings;
}

// A stored option as the registry's ReadInteger sees it: a 32-bit integer or nothing. Text such
// as "abc", "1.5" or "true" is not an integer, and neither is one beyond 32 bits, which
// QVariant::toInt would silently cut down.
std::optional<int> readInteger(const QSettings& settings, const QString& name) {
    const QVariant value = settings.value(name);
    if (!value.isValid())
        return std::nullopt;
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    if (!ok || number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(number);
}

// Whether the store could be opened for reading. A damaged file still yields the values before
// the damage (Qt reports the damage only to the first reader anyway), and each of those is
// checked on its own.
bool readable(const QSettings& settings) {
    return settings.status() != QSettings::AccessError;
}

// Writes one value through to the store at once, so that a failure is seen before the next one.
bool writeThrough(QSettings& settings, const QString& name, const QVariant& value) {
    settings.setValue(name, value);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

[[noreturn]] void throwWriteFailure(const std::string& what) {
    throw std::runtime_error("Cannot store " + what + " in the settings file " +
                             openStore()->fileName().toStdString() + ".");
}

} // namespace

StoredOptions SettingsStore::readOptions() const {
    const auto settings = openStore();
    if (!readable(*settings))
        return {};
    const std::optional<int> driehoeken = readInteger(*settings, kDriehoeken);
    const std::optional<int> curve = readInteger(*settings, kCurve);
    if (!driehoeken || !curve)
        return {};
    return {*driehoeken != 0, *curve != 0};
}

void SettingsStore::writeOptions(bool driehoeken, bool curve) const {
    const auto settings = openForWriting();
    if (!settings || settings->status() != QSettings::NoError ||
        !writeThrough(*settings, kDriehoeken, driehoeken ? 1 : 0) ||
        !writeThrough(*settings, kCurve, curve ? 1 : 0))
        throwWriteFailure("the options");
}

QString SettingsStore::readInitialFolder() const {
    const auto settings = openStore();
    if (!readable(*settings))
        return {};
    const QVariant value = settings->value(kInitialFolder);
    // A list or any other non-text value cannot be read as a folder.
    if (value.typeId() != QMetaType::QString)
        return {};
    return value.toString();
}

void SettingsStore::writeInitialFolder(const QString& folder) const {
    const auto settings = openForWriting();
    if (!settings || settings->status() != QSettings::NoError ||
        !writeThrough(*settings, kInitialFolder, folder))
        throwWriteFailure("the last used folder");
}

} // namespace tidy

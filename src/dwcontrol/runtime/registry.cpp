#include "registry.h"

#include <QSettings>
#include <QStringList>

#include <memory>
#include <optional>

namespace rt {
namespace {

// A key path split into the settings store it names and the groups below it.
struct KeyLocation
{
    std::unique_ptr<QSettings> settings;
    QString group; // "a/b" below the application's key, may be empty
};

std::optional<KeyLocation> locate(const QString &key)
{
    static const QString root = QStringLiteral("HKEY_CURRENT_USER\\Software\\");
    if (!key.startsWith(root, Qt::CaseInsensitive))
        return std::nullopt;
    const QStringList parts = key.mid(root.size()).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (parts.size() < 2)
        return std::nullopt;
    KeyLocation location;
#ifdef Q_OS_WIN
    location.settings = std::make_unique<QSettings>(root + parts.at(0) + QLatin1Char('\\') + parts.at(1),
                                                    QSettings::NativeFormat);
#else
    location.settings = std::make_unique<QSettings>(parts.at(0), parts.at(1));
#endif
    location.group = parts.mid(2).join(QLatin1Char('/'));
    return location;
}

} // namespace

int RegistrySet(const QString &key, const QString &valueName, const QString &value)
{
    auto location = locate(key);
    if (!location || valueName.isEmpty())
        return -1;
    QSettings &settings = *location->settings;
    if (!settings.isWritable())
        return -1;
    settings.beginGroup(location->group);
    settings.setValue(valueName, value);
    settings.endGroup();
    settings.sync();
    return settings.status() == QSettings::NoError ? 1 : -1;
}

int RegistryGet(const QString &key, const QString &valueName, QString &value)
{
    auto location = locate(key);
    if (!location || valueName.isEmpty())
        return -1;
    QSettings &settings = *location->settings;
    settings.beginGroup(location->group);
    if (!settings.contains(valueName))
        return -1;
    value = settings.value(valueName).toString();
    return 1;
}

} // namespace rt

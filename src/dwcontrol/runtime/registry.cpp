#include "registry.h"

#include "application.h"
#include "interaction.h"
#include "runtime.h"
#include "settings/settingsstore.h"

#include <QCoreApplication>
#include <QStringList>

#include <optional>

namespace rt {
namespace {

// A key path split into the settings store it names and the groups below it.
struct KeyLocation
{
    dw::SettingsStore store;
    QString group; // "a/b" below the application's key, may be empty

    [[nodiscard]] QString key(const QString &valueName) const
    {
        return group.isEmpty() ? valueName : group + QLatin1Char('/') + valueName;
    }
};

std::optional<KeyLocation> locate(const QString &key)
{
    static const QString root = QStringLiteral("HKEY_CURRENT_USER\\Software\\");
    if (!key.startsWith(root, Qt::CaseInsensitive))
        return std::nullopt;
    const QStringList parts = key.mid(root.size()).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (parts.size() < 2)
        return std::nullopt;
    return KeyLocation{dw::SettingsStore(parts.at(0), parts.at(1)), parts.mid(2).join(QLatin1Char('/'))};
}

} // namespace

QString ProgramKey(const QString &subkey)
{
    QString name = QCoreApplication::applicationName();
    if (const Application *application = Application::instance())
        name = application->displayname.isEmpty() ? application->appname : application->displayname;
    return QStringLiteral("HKEY_CURRENT_USER\\Software\\Calvexa\\") + WordCap(name) + QLatin1Char('\\')
        + subkey;
}

void ReportUnwritableSettings()
{
    dw::SettingsStore::setUnwritableReport([](const QString &text) {
        dw::interaction().messageBox(nullptr, QStringLiteral("Configuración"), text);
    });
}

int RegistrySet(const QString &key, const QString &valueName, const QString &value)
{
    static const bool reporting = (ReportUnwritableSettings(), true);
    Q_UNUSED(reporting);
    const auto location = locate(key);
    if (!location || valueName.isEmpty())
        return -1;
    return location->store.setText(location->key(valueName), value) ? 1 : -1;
}

int RegistryGet(const QString &key, const QString &valueName, QString &value)
{
    const auto location = locate(key);
    if (!location || valueName.isEmpty())
        return -1;
    const auto found = location->store.text(location->key(valueName));
    if (!found)
        return -1;
    value = *found;
    return 1;
}

} // namespace rt

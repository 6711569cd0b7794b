#include "connectionsetting.h"

#include "settings/settingsstore.h"

using namespace Qt::StringLiterals;

QString configuredConnectString(const QString &company, const QString &application)
{
    return dw::SettingsStore(company, application).text(u"Conexion/ConnectString"_s).value_or(QString());
}

QStringList configuredFolders(const QString &company, const QString &application)
{
    return dw::SettingsStore(company, application).texts(u"Conexion/Carpeta"_s);
}

bool rememberFolder(const QString &company, const QString &application, const QString &folder)
{
    return dw::SettingsStore(company, application).setText(u"Conexion/Carpeta"_s, folder);
}

QString driverDbParm(const QString &connectString)
{
    QString quoted = connectString;
    quoted.replace(u'\'', u"''"_s);
    return u"ConnectString='"_s + quoted + u"',ConnectOption='SQL_DRIVER_CONNECT,SQL_DRIVER_NOPROMPT'"_s;
}

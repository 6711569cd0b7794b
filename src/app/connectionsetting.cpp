#include "connectionsetting.h"

#include "settings/settingsstore.h"

using namespace Qt::StringLiterals;

QString configuredConnectString(const QString &company, const QString &application)
{
    return dw::SettingsStore(company, application).text(u"Conexion/ConnectString"_s).value_or(QString());
}

QString driverDbParm(const QString &connectString)
{
    QString quoted = connectString;
    quoted.replace(u'\'', u"''"_s);
    return u"ConnectString='"_s + quoted + u"',ConnectOption='SQL_DRIVER_CONNECT,SQL_DRIVER_NOPROMPT'"_s;
}

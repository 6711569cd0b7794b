#include "connectionsetting.h"

#include <QSettings>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

const QString kKey = u"Conexion/ConnectString"_s;

QString textOf(const QSettings &settings)
{
    const QVariant value = settings.value(kKey);
    // An INI value with an unquoted comma comes back as a list: the comma was part of
    // the connect string, so the pieces are joined again.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(u',');
    return value.toString();
}

} // namespace

QString configuredConnectString(const QString &company, const QString &application)
{
    for (const QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope}) {
        const QSettings settings(QSettings::NativeFormat, scope, company, application);
        const QString text = textOf(settings);
        if (!text.trimmed().isEmpty())
            return text;
    }
    return {};
}

QString driverDbParm(const QString &connectString)
{
    QString quoted = connectString;
    quoted.replace(u'\'', u"''"_s);
    return u"ConnectString='"_s + quoted + u"',ConnectOption='SQL_DRIVER_CONNECT,SQL_DRIVER_NOPROMPT'"_s;
}

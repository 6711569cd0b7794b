#include "passwordexposure.h"

#include "db/connectstring.h"
#include "db/pgconnectstring.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

bool holdsPassword(const QString &connectString)
{
    if (dw::isPostgresConnectString(connectString))
        return !dw::postgresPassword(connectString).isEmpty();
    const dw::ConnectString parts(connectString);
    for (const QString &key : {u"PWD"_s, u"PASSWORD"_s}) {
        if (!parts.value(key).value_or(QString()).trimmed().isEmpty())
            return true;
    }
    return false;
}

} // namespace

QString exposedPasswordWarning(const QString &settingsFile, const QString &connectString)
{
    const QFileInfo file(settingsFile);
    if (!holdsPassword(connectString) || !file.exists()
        || !(file.permissions() & (QFile::ReadGroup | QFile::ReadOther)))
        return {};
    return u"El archivo de configuración %1 guarda la contraseña de la conexión y otros usuarios pueden "
           u"leerlo. Déjelo legible sólo para usted (chmod 600) o quite la contraseña de la cadena de "
           u"conexión y guárdela en ~/.pgpass."_s.arg(settingsFile);
}

#include "programinfo.h"

#include "settings/settingsstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

InfoRequest infoRequestOf(const QStringList &arguments)
{
    for (const QString &argument : arguments) {
        if (argument == "--version"_L1)
            return InfoRequest::Version;
        if (argument == "--help"_L1 || argument == "-h"_L1)
            return InfoRequest::Help;
    }
    return InfoRequest::None;
}

QString programVersion()
{
    return QStringLiteral(ZEMPAROL_VERSION);
}

QString versionText()
{
    return QCoreApplication::applicationName() + u' ' + programVersion() + u'\n';
}

namespace {

// Breaks a paragraph into lines of at most `width` characters at blanks; a longer word
// (a path) keeps a line of its own.
QString wrapped(const QString &paragraph, qsizetype width)
{
    QString text;
    qsizetype lineLength = 0;
    for (const QString &word : paragraph.split(u' ', Qt::SkipEmptyParts)) {
        if (lineLength > 0 && lineLength + 1 + word.size() > width) {
            text += u'\n';
            lineLength = 0;
        } else if (lineLength > 0) {
            text += u' ';
            ++lineLength;
        }
        text += word;
        lineLength += word.size();
    }
    return text + u'\n';
}

} // namespace

QString helpText()
{
    const QString name = QCoreApplication::applicationName();
    const dw::SettingsStore settings = dw::SettingsStore::program();
    const QString userSettings = settings.userFile();
    const QString machineSettings = settings.machineFile();
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    const QString paragraph
        = u"Uso: %1 [CARPETA | ARCHIVO.mdb] [--help | --version]. Abre en modo de solo lectura el "
          u"directorio de miembros de la red: el archivo zemparol.mdb de la carpeta indicada (o el archivo "
          u".mdb indicado), si no el de la carpeta desde la que se inicia el programa, si no el de la "
          u"carpeta guardada en la clave Conexion/Carpeta de la configuración, si no la conexión de la "
          u"clave Conexion/ConnectString (un servidor). Las fotos y los logotipos están en la subcarpeta "
          u"Fotos, junto al archivo. Si no encuentra el directorio, pregunta una vez en qué carpeta está y "
          u"la guarda en Conexion/Carpeta. La configuración del usuario (el orden del listado, el ancho y "
          u"la posición de sus columnas, la carpeta y la conexión) se guarda en %2 y la de todo el equipo "
          u"en %3; la copia local de los directorios de Access ya leídos, en %4. Cualquier otro argumento "
          u"se ignora."_s.arg(name, QDir::toNativeSeparators(userSettings),
                              QDir::toNativeSeparators(machineSettings), QDir::toNativeSeparators(cache));
    return wrapped(paragraph, 79);
}

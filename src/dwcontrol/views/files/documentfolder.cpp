#include "documentfolder.h"

#include "settings/settingsstore.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace dw {
namespace {

QString folderKey(const QString &kind)
{
    return QStringLiteral("Archivos/Carpeta_") + (kind.isEmpty() ? QStringLiteral("documento") : kind);
}

} // namespace

QString userSetting(const QString &key)
{
    return SettingsStore::program().text(key).value_or(QString());
}

void setUserSetting(const QString &key, const QString &value)
{
    (void)SettingsStore::program().setText(key, value);
}

QString proposedFilePath(const QString &baseName, const QString &extension, const QString &kind)
{
    QString folder = userSetting(folderKey(kind));
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    return QDir(folder).filePath(baseName + QLatin1Char('.') + extension);
}

void rememberFolderOf(const QString &file, const QString &kind)
{
    if (!file.isEmpty())
        setUserSetting(folderKey(kind), QFileInfo(file).absolutePath());
}

QString documentKind(const QString &baseName)
{
    return baseName.section(QLatin1Char('-'), 0, 0);
}

QString safeFileBaseName(const QString &text, const QString &fallback)
{
    QString name;
    bool pendingDash = false;
    for (const QChar c : text.normalized(QString::NormalizationForm_KD)) {
        if (c.category() == QChar::Mark_NonSpacing)
            continue; // the accent of a decomposed letter
        if (c == u'\'' || c == u'\u2019')
            continue; // "O'Farrill" reads as one word
        const char16_t u = c.toLower().unicode();
        if ((u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9')) {
            if (pendingDash && !name.isEmpty())
                name += QLatin1Char('-');
            pendingDash = false;
            name += QChar(u);
        } else {
            pendingDash = true;
        }
        if (name.size() >= 80)
            break;
    }
    while (name.endsWith(QLatin1Char('-')))
        name.chop(1);
    // Names a Windows system keeps for its devices, whatever the extension.
    static const QStringList devices{QStringLiteral("con"), QStringLiteral("prn"), QStringLiteral("aux"),
                                     QStringLiteral("nul")};
    const bool device = devices.contains(name)
        || ((name.startsWith(QStringLiteral("com")) || name.startsWith(QStringLiteral("lpt")))
            && name.size() == 4 && name.at(3).isDigit());
    if (name.isEmpty() || device)
        return fallback;
    return name;
}

} // namespace dw

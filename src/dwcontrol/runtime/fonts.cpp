#include "fonts.h"

#include <QDir>
#include <QFontDatabase>

namespace rt {

void registerLayoutFonts()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    // Twins of Tahoma and Marlett ship in a folder fontconfig does not search.
    const QStringList folders{QStringLiteral("/usr/share/wine/fonts")};
    const QStringList families{QStringLiteral("Tahoma"), QStringLiteral("Marlett")};
    for (const QString &family : families) {
        if (QFontDatabase::hasFamily(family))
            continue;
        for (const QString &folder : folders) {
            const QDir dir(folder);
            const QString stem = family.toLower();
            for (const QString &file : dir.entryList({stem + QStringLiteral("*.ttf"), stem + QStringLiteral("*.TTF")}, QDir::Files))
                QFontDatabase::addApplicationFont(dir.filePath(file));
        }
    }
}

} // namespace rt

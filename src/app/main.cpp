#include "commandline.h"
#include "zemparol.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    // The whole interface is in Spanish, Qt's own dialogs (printer selection, files) included.
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Mexico));
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    zemparol program;
    return program.run(argumentsOf(platformCommandLine()));
}

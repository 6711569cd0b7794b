#include "commandline.h"
#include "programinfo.h"
#include "rows/largeblocks.h"
#include "zemparol.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTextStream>
#include <QTranslator>

int main(int argc, char *argv[])
{
    dw::giveLargeBlocksBack();
    // Named before anything else, so that the help names the right folders and the
    // window class stays "zemparol" whatever the executable is called.
    QCoreApplication::setApplicationName(zemparol::name());
    QCoreApplication::setApplicationVersion(programVersion());

    // --version and --help answer on the terminal before any window system is needed.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (const InfoRequest request = infoRequestOf(arguments); request != InfoRequest::None) {
        QTextStream(stdout) << (request == InfoRequest::Version ? versionText() : helpText());
        return 0;
    }

    QApplication application(argc, argv);
    // Lets the desktop match the windows to the menu entry where the window class is not used.
    QGuiApplication::setDesktopFileName(QStringLiteral(ZEMPAROL_APP_ID));
    // The whole interface is in Spanish, Qt's own dialogs (printer selection, files) included.
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Mexico));
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    zemparol program;
    return program.run(argumentsOf(platformCommandLine()));
}

#include "commandline.h"
#include "programinfo.h"

#include <QProcess>
#include <QTest>

class CommandLineTest : public QObject
{
    Q_OBJECT
private slots:
    void argumentsOf_data()
    {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<QString>("arguments");
        const QString quoted = QStringLiteral("\"C:\\Program Files\\zemparol\\zemparol.exe\"");
        QTest::newRow("quoted path only") << quoted << QString();
        // The closing quote and one blank are exactly two characters: still nothing.
        QTest::newRow("quoted path and one blank") << quoted + u' ' << QString();
        QTest::newRow("quoted path and an option")
            << quoted + QStringLiteral(" /debug") << QStringLiteral("/debug");
        QTest::newRow("quoted path, two blanks") << quoted + QStringLiteral("  x") << QStringLiteral(" x");
        QTest::newRow("unquoted name and an option")
            << QStringLiteral("zemparol /debug") << QStringLiteral("/debug");
        QTest::newRow("unquoted name only") << QStringLiteral("zemparol") << QString();
        QTest::newRow("unterminated quote")
            << QStringLiteral("\"C:\\zemparol.exe /x") << QStringLiteral("C:\\zemparol.exe /x");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("a lone quote") << QStringLiteral("\"") << QString();
        QTest::newRow("non-Latin arguments")
            << QStringLiteral("\"z.exe\" Ñandú 東京") << QStringLiteral("Ñandú 東京");
    }
    void argumentsOf()
    {
        QFETCH(QString, commandLine);
        QFETCH(QString, arguments);
        QCOMPARE(::argumentsOf(commandLine), arguments);
    }

    // A rebuilt command line goes through the same extraction and gives back the
    // arguments, a path with blanks as one argument.
    void commandLineOf_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("program only") << QStringList{QStringLiteral("/usr/bin/zemparol")};
        QTest::newRow("a folder") << QStringList{QStringLiteral("/usr/bin/zemparol"),
                                                 QStringLiteral("/srv/dir")};
        QTest::newRow("blanks in the program and the argument")
            << QStringList{QStringLiteral("/opt/mi programa/zemparol"),
                           QStringLiteral("/home/usuario/Mis documentos/zemparol.mdb")};
        QTest::newRow("several") << QStringList{QStringLiteral("z"), QStringLiteral("-x"),
                                                QStringLiteral("a b"), QStringLiteral("c")};
    }
    void commandLineOf()
    {
        QFETCH(QStringList, arguments);
        const QString line = ::commandLineOf(arguments);
        QVERIFY(line.startsWith(u'"'));
        QCOMPARE(QProcess::splitCommand(::argumentsOf(line)), arguments.mid(1));
    }

    // The first of --version, --help and -h answers on the terminal; anything else opens
    // the program.
    void infoRequestOf_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<InfoRequest>("request");
        QTest::newRow("none") << QStringList() << InfoRequest::None;
        QTest::newRow("a folder") << QStringList{QStringLiteral("/srv/red")} << InfoRequest::None;
        QTest::newRow("version") << QStringList{QStringLiteral("--version")} << InfoRequest::Version;
        QTest::newRow("help") << QStringList{QStringLiteral("--help")} << InfoRequest::Help;
        QTest::newRow("short help after a folder")
            << QStringList{QStringLiteral("/srv/red"), QStringLiteral("-h")} << InfoRequest::Help;
        QTest::newRow("the first one decides")
            << QStringList{QStringLiteral("-h"), QStringLiteral("--version")} << InfoRequest::Help;
        QTest::newRow("single dash words are not options")
            << QStringList{QStringLiteral("-help"), QStringLiteral("-version")} << InfoRequest::None;
    }
    void infoRequestOf()
    {
        QFETCH(QStringList, arguments);
        QFETCH(InfoRequest, request);
        QCOMPARE(::infoRequestOf(arguments), request);
    }

    // The process's own command line gives back the arguments the process got.
    void platformCommandLineRoundTrip()
    {
        QCOMPARE(QProcess::splitCommand(::argumentsOf(platformCommandLine())),
                 QCoreApplication::arguments().mid(1));
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_commandline.moc"

#include "commandline.h"

#include <QCoreApplication>
#include <QStringList>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

QString argumentsOf(const QString &commandLine)
{
    const QChar quote(u'"');
    if (commandLine.startsWith(quote)) {
        const qsizetype closing = commandLine.indexOf(quote, 1);
        if (closing < 0)
            return commandLine.mid(1);
        // The closing quote and the one separator after it are skipped.
        return commandLine.size() - closing > 2 ? commandLine.mid(closing + 2) : QString();
    }
    const qsizetype blank = commandLine.indexOf(QChar(u' '), 1);
    return blank < 0 ? QString() : commandLine.mid(blank + 1);
}

QString commandLineOf(const QStringList &arguments)
{
    QString line;
    for (const QString &argument : arguments) {
        // The program path and every argument with blanks (a path) are quoted, as a
        // Windows command line has them.
        const bool quoted
            = line.isEmpty() || argument.contains(QLatin1Char(' ')) || argument.contains(QLatin1Char('\t'));
        if (!line.isEmpty())
            line += QLatin1Char(' ');
        line += quoted ? QLatin1Char('"') + argument + QLatin1Char('"') : argument;
    }
    return line;
}

QString platformCommandLine()
{
#ifdef Q_OS_WIN
    return QString::fromWCharArray(GetCommandLineW());
#else
    return commandLineOf(QCoreApplication::arguments());
#endif
}

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

QString platformCommandLine()
{
#ifdef Q_OS_WIN
    return QString::fromWCharArray(GetCommandLineW());
#else
    QStringList arguments = QCoreApplication::arguments();
    if (arguments.isEmpty())
        return {};
    const QString program = QLatin1Char('"') + arguments.takeFirst() + QLatin1Char('"');
    return arguments.isEmpty() ? program : program + QLatin1Char(' ') + arguments.join(QLatin1Char(' '));
#endif
}

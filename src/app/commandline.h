#pragma once

#include <QString>
#include <QStringList>

// The argument text of a command line: everything after the program's own name. A
// quoted name ends at the next quote, which is skipped together with the one separator
// after it; an unterminated quote leaves everything after it. An unquoted name ends at
// the first blank.
[[nodiscard]] QString argumentsOf(const QString &commandLine);

// A command line made of a program path and its arguments: the path quoted, then the
// arguments joined by blanks, each one holding blanks quoted (an empty list gives an
// empty line).
[[nodiscard]] QString commandLineOf(const QStringList &arguments);

// The process's full command line: the system's own on Windows; elsewhere rebuilt from
// the arguments Qt leaves (its own options taken out) by commandLineOf. Needs a
// QCoreApplication.
[[nodiscard]] QString platformCommandLine();

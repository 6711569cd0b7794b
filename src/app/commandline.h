#pragma once

#include <QString>

// The argument text of a command line: everything after the program's own name. A
// quoted name ends at the next quote, which is skipped together with the one separator
// after it; an unterminated quote leaves everything after it. An unquoted name ends at
// the first blank.
[[nodiscard]] QString argumentsOf(const QString &commandLine);

// The process's full command line: the system's own on Windows; elsewhere rebuilt from
// the arguments, with the program path quoted and the arguments joined by blanks.
// Needs a QCoreApplication.
[[nodiscard]] QString platformCommandLine();

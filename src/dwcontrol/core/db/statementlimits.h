#pragma once

#include <QtGlobal>

namespace dw {

// How far one statement of the built-in driver may go before it is stopped: its running
// time, and the memory it takes for temporary results (sorts, distinct sets, recursive
// queries, long values), which stay in memory instead of growing a file on disk.
struct StatementLimits
{
    int seconds = 30;
    qint64 memoryBytes = qint64(512) * 1024 * 1024;
    // The text and binary values of all the rows a statement hands over (the program
    // keeps them): a view can make every row huge.
    qint64 resultBytes = qint64(2048) * 1024 * 1024;

    // How long connecting to a server may take: the statement's time, and never more than
    // 30 s, so that a server that never answers does not hold the window.
    [[nodiscard]] int connectSeconds() const { return qBound(1, seconds, 30); }
};

// The limits in force, read from the program's settings, the user's and then the
// machine-wide ones (group "Consultas", keys
// "SegundosMaximos", "MemoriaTemporalMB" and "ResultadoMB"); absent or not positive:
// the defaults.
[[nodiscard]] StatementLimits statementLimits();

} // namespace dw

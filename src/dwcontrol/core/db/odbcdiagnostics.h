#pragma once

// What the ODBC pieces share: wide text both ways and the driver's diagnostics.

#include "db/connection.h"

#include <QtGlobal>
#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <string>

namespace dw {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager must use UTF-16 wide text");

[[nodiscard]] std::u16string utf16(const QString &text);
// The driver manager takes wide text through non-const pointers it does not write through.
[[nodiscard]] SQLWCHAR *wide(const std::u16string &text);
// Appends UTF-16 text as UTF-8; a lone surrogate becomes U+FFFD.
void appendUtf8(std::string &out, const char16_t *text, std::size_t length);

// The first diagnostic record of a handle: the native code and its SQLSTATE, and a text
// that starts with `context` (the Spanish account of what failed), then what the SQLSTATE
// means in Spanish, then the driver's own message. `context` alone when the driver says
// nothing.
[[nodiscard]] DbError diagnostics(SQLSMALLINT type, SQLHANDLE handle, const QString &context);

} // namespace dw

#include "db/odbcdiagnostics.h"

#include "db/errors.h"
#include "db/sqlstate.h"

#include <algorithm>
#include <array>

namespace dw {

std::u16string utf16(const QString &text)
{
    return text.toStdU16String();
}

SQLWCHAR *wide(const std::u16string &text)
{
    return reinterpret_cast<SQLWCHAR *>(const_cast<char16_t *>(text.c_str()));
}

void appendUtf8(std::string &out, const char16_t *text, std::size_t length)
{
    out.reserve(out.size() + length);
    for (std::size_t i = 0; i < length; ++i) {
        char32_t code = text[i];
        if (code < 0x80) {
            out.push_back(char(code));
            continue;
        }
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < length && text[i + 1] >= 0xDC00
            && text[i + 1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00);
            ++i;
        } else if (code >= 0xD800 && code < 0xE000) {
            code = 0xFFFD;
        }
        if (code < 0x800) {
            out.push_back(char(0xC0 | (code >> 6)));
        } else if (code < 0x10000) {
            out.push_back(char(0xE0 | (code >> 12)));
            out.push_back(char(0x80 | ((code >> 6) & 0x3F)));
        } else {
            out.push_back(char(0xF0 | (code >> 18)));
            out.push_back(char(0x80 | ((code >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((code >> 6) & 0x3F)));
        }
        out.push_back(char(0x80 | (code & 0x3F)));
    }
}

DbError diagnostics(SQLSMALLINT type, SQLHANDLE handle, const QString &context)
{
    std::array<SQLWCHAR, 6> state{};
    std::array<SQLWCHAR, 2048> message{};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLGetDiagRecW(type, handle, 1, state.data(), &native, message.data(),
                                        SQLSMALLINT(message.size()), &length);
    if (!SQL_SUCCEEDED(rc))
        return makeError(dberror::OdbcUnavailable, context);
    const qsizetype size = std::min<qsizetype>(length, qsizetype(message.size()) - 1);
    const QString sqlState = QString::fromUtf16(reinterpret_cast<const char16_t *>(state.data()), 5);
    const QString text = explainedError(
        context, sqlState, QString::fromUtf16(reinterpret_cast<const char16_t *>(message.data()), size));
    DbError error = makeError(native, text);
    error.state = sqlState;
    return error;
}

} // namespace dw

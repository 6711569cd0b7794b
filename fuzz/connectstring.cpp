// The connect string, the DBParm around it and the password masking of messages: any
// text taken apart without a crash.
#include "db/connectstring.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const dw::ConnectString parsed(text);
    (void)parsed.value(QStringLiteral("DBQ"));
    (void)parsed.value(QStringLiteral("PWD"));
    (void)dw::withoutPassword(text, text);
    const QString inner = dw::dbParmValue(text, QStringLiteral("ConnectString"));
    if (!inner.isNull())
        (void)dw::ConnectString(inner).value(QStringLiteral("Driver"));
    return 0;
}

// The connect string and the DBParm around it: any text taken apart without a crash,
// and every value found is one the text holds.
#include "db/connectstring.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const dw::ConnectString parsed(text);
    for (const auto &[key, value] : parsed.pairs()) {
        if (!parsed.value(key))
            __builtin_trap(); // every key read back
    }
    (void)parsed.value(QStringLiteral("DBQ"));
    (void)parsed.value(QStringLiteral("PWD"));
    const QString inner = dw::dbParmValue(text, QStringLiteral("ConnectString"));
    if (!inner.isNull())
        (void)dw::ConnectString(inner).value(QStringLiteral("Driver"));
    return 0;
}

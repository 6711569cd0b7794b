// The expression language as filters use it: parsed against the directory's columns,
// evaluated on every row (through the compiled fast path where it applies), with the
// filter itself reachable through Describe so self-reference is exercised too.
#include "directoryrows.h"
#include "rows/sortfilter.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static DirectoryRows directory;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto parsed = dw::Expression::parse(text, directory.context);
    if (!parsed)
        return 0;
    directory.context.filter = text;
    directory.context.describeCalls.clear();
    directory.context.forget();
    for (qint64 index = 0; index < directory.store.size(); ++index)
        (void)parsed->evaluate(directory.context, index).toText();
    dw::RowSet rows = directory.rows;
    (void)dw::filterRows(rows, directory.store, &*parsed, directory.context);
    return 0;
}

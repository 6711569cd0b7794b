// Stored sort criteria as the registry gives them back: parsed against the directory's
// columns and applied.
#include "directoryrows.h"
#include "rows/sortfilter.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static DirectoryRows directory;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto keys = dw::parseSortCriteria(text, directory.context);
    if (!keys)
        return 0;
    directory.context.describeCalls.clear();
    dw::RowSet rows = directory.rows;
    dw::sortRows(rows, directory.store, *keys, directory.context);
    if (rows.primary().size() != std::size_t(directory.store.size()))
        __builtin_trap(); // a sort neither loses nor invents rows
    return 0;
}

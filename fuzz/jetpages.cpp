// Access files: page 0 read for version, page size and password, then the file's pages
// imported the way the built-in driver does, with the reader kept in a child process.
#include "db/isolatedimport.h"
#include "db/jetheader.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (!dw::looksLikeJet(bytes))
        return 0;
    const auto header = dw::readJetHeader(bytes);
    if (!header || header->version > 1)
        return 0;
    if (bytes.size() % header->pageSize != 0 || bytes.size() < 3 * header->pageSize)
        return 0;
    QString problem;
    (void)dw::importJetIsolated(bytes, problem);
    return 0;
}

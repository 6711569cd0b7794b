// Access long values (memos): a file whose memos span many pages, with the input written
// over its long-value pages and the data pages that point at them, then imported in this
// process the way the driver's reader child does. The input is a list of patches:
// one byte choosing the page among those pages, two for the offset in it, one for the
// length, then that many bytes. A damaged chain must fail the import or read whole, never
// read outside what libmdb gave, and never take more than the values' cap.
#include "db/mdbimport.h"

#include <sqlite3.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr qsizetype PageSize = 4096;

struct Base
{
    QByteArray file;
    std::vector<qsizetype> pages; // offsets of the long-value and data pages
};

// The fixture with long memos, found beside the sources (FUZZ_MDB_FIXTURE names it).
const Base &base()
{
    static const Base loaded = [] {
        Base b;
        QFile fixture(QString::fromLocal8Bit(qgetenv("FUZZ_MDB_FIXTURE")));
        if (!fixture.open(QIODevice::ReadOnly))
            qFatal("FUZZ_MDB_FIXTURE must name memo_long.mdb.z");
        b.file = qUncompress(fixture.readAll());
        for (qsizetype at = PageSize; at + PageSize <= b.file.size(); at += PageSize) {
            if (b.file[at] == 0x01) // data pages, "LVAL" ones included
                b.pages.push_back(at);
        }
        if (b.pages.empty())
            qFatal("the fixture has no data pages");
        return b;
    }();
    return loaded;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const Base &b = base();
    QByteArray file = b.file;
    std::size_t at = 0;
    while (at + 4 <= size) {
        const qsizetype page = b.pages[data[at] % b.pages.size()];
        const qsizetype offset = (qsizetype(data[at + 1]) << 8 | data[at + 2]) % PageSize;
        const std::size_t length = std::min<std::size_t>(data[at + 3], size - at - 4);
        const qsizetype fits = std::min<qsizetype>(qsizetype(length), PageSize - offset);
        std::memcpy(file.data() + page + offset, data + at + 4, std::size_t(fits));
        at += 4 + length;
    }
    static const QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("memos.mdb"));
    {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(file) != file.size())
            return 0;
    }
    sqlite3 *db = nullptr;
    sqlite3_open(":memory:", &db);
    QString problem;
    (void)dw::importJet(path, db, problem);
    sqlite3_close(db);
    return 0;
}

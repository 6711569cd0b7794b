// Access files: page 0 read for version, page size and password, then the file's pages
// imported the way the built-in driver does, with the reader kept in a child process
// writing into an SQLite file.
#include "db/isolatedimport.h"
#include "db/jetheader.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace

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
    static const QTemporaryDir folder;
    const QString source = folder.filePath(QStringLiteral("input.mdb"));
    const QString target = folder.filePath(QStringLiteral("import.sqlite"));
    if (!writeFile(source, bytes) || !writeFile(target, {}))
        return 0;
    QString problem;
    (void)dw::importJetIsolated(source, target, problem);
    return 0;
}

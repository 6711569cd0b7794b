#include "picture.h"

#include <QCache>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMutex>
#include <QMutexLocker>

#include <algorithm>
#include <cmath>
#include <optional>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace dw {
namespace {

// Decoded pictures are large next to their files; the cache holds about this many
// kilobytes of them (a directory's photos and logos fit, a runaway list does not).
constexpr int cacheBudgetKb = 256 * 1024;

// A photo may have up to this many pixels; a file claiming more is refused unread (a few
// kilobytes can claim a size whose pixels would not fit in memory).
constexpr qint64 maxPixels = 100'000'000;
// Decoded pictures are never larger than this many pixels: a picture drawn at no
// particular size (or larger than this) is decoded scaled down to fit.
constexpr qint64 maxDecodedPixels = 16'000'000;

// The one folder picture names may reach, below the picture root.
const QString &picturesFolder()
{
    static const QString folder = QStringLiteral("fotos");
    return folder;
}

struct PictureCache
{
    QMutex mutex;
    QString root;
    bool rootSet = false;
    // Keyed by the normalised lower-case name; a null image records a miss.
    QCache<QString, QImage> images{cacheBudgetKb};
};

PictureCache &cache()
{
    static PictureCache instance;
    return instance;
}

QString currentRoot(const PictureCache &c)
{
    return c.rootSet ? c.root : QDir::currentPath();
}

// The parts of a picture name below the root, or nothing when the name must not be
// followed: empty, absolute, a drive letter, a network path, "..", or outside Fotos.
std::optional<QStringList> safeParts(const QString &name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    QString path = trimmed;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (path.startsWith(QLatin1Char('/')))
        return std::nullopt; // absolute, or a "\\server" share
    if (path.contains(QLatin1Char(':')))
        return std::nullopt; // "C:..." or a URL scheme
    QStringList parts;
    for (const QString &part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String(".."))
            return std::nullopt;
        parts.append(part);
    }
    if (parts.size() < 2 || parts.front().compare(picturesFolder(), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    return parts;
}

// The entry of `dir` named `part`, letter case aside; an exact match wins.
QString matchEntry(const QDir &dir, const QString &part, bool wantDirectory)
{
    const QFileInfo exact(dir.filePath(part));
    if (exact.exists() && exact.isDir() == wantDirectory)
        return exact.filePath();
    const QDir::Filters filters
        = (wantDirectory ? QDir::Dirs : QDir::Files) | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;
    for (const QFileInfo &entry : dir.entryInfoList(filters)) {
        if (entry.fileName().compare(part, Qt::CaseInsensitive) == 0)
            return entry.filePath();
    }
    return {};
}

// Finds the file for the parts below `root`; empty when it is missing or (through a
// link) lies outside the pictures folder, or when the pictures folder itself (through a
// link) lies outside the root.
QString resolve(const QString &root, const QStringList &parts)
{
    const QString realRoot = QFileInfo(root).canonicalFilePath();
    if (realRoot.isEmpty())
        return {};
    QString found = root;
    QString folder;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const bool last = i == parts.size() - 1;
        found = matchEntry(QDir(found), parts.at(i), !last);
        if (found.isEmpty())
            return {};
        if (i == 0) {
            folder = QFileInfo(found).canonicalFilePath();
            const QString under
                = realRoot.endsWith(QLatin1Char('/')) ? realRoot : realRoot + QLatin1Char('/');
            if (!folder.startsWith(under))
                return {};
        }
    }
    // Links inside the folder may not lead out of it.
    const QString file = QFileInfo(found).canonicalFilePath();
    if (folder.isEmpty() || file.isEmpty() || !file.startsWith(folder + QLatin1Char('/')))
        return {};
    return file;
}

// Opens only a regular file, and without waiting: a FIFO or a device under a picture's
// name would block the window forever.
bool openRegularFile(const QString &path, QFile &file)
{
#ifdef Q_OS_UNIX
    const int fd
        = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
#else
    file.setFileName(path);
    return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly);
#endif
}

// The size to decode at: the drawn size when the picture is larger (keeping its
// proportions), and never more than maxDecodedPixels.
QSize decodedSize(QSize full, QSize drawn)
{
    QSize size = full;
    if (drawn.isValid() && !drawn.isEmpty()
        && (full.width() > drawn.width() || full.height() > drawn.height()))
        size = full.scaled(drawn, Qt::KeepAspectRatio);
    const qint64 pixels = qint64(size.width()) * size.height();
    if (pixels > maxDecodedPixels) {
        const double factor = std::sqrt(double(maxDecodedPixels) / double(pixels));
        size = QSize(int(size.width() * factor), int(size.height() * factor));
    }
    return size.expandedTo(QSize(1, 1));
}

QImage readImage(const QString &path, QSize drawn)
{
    QFile file;
    if (!openRegularFile(path, file))
        return {};
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    // The extension may lie (a PNG named .jpg); the reader looks at the content.
    const QSize full = reader.size();
    if (!full.isValid() || qint64(full.width()) * full.height() > maxPixels)
        return {};
    // A legitimate large photo may need its whole size in memory while it is scaled.
    reader.setAllocationLimit(int(qint64(full.width()) * full.height() * 4 / (1024 * 1024)) + 64);
    const QSize size = decodedSize(full, drawn);
    if (size != full)
        reader.setScaledSize(size);
    QImage image;
    if (!reader.read(&image))
        return {};
    return image;
}

} // namespace

QImage loadPicture(const QString &name, QSize drawnSize)
{
    const std::optional<QStringList> parts = safeParts(name);
    if (!parts)
        return {};
    PictureCache &c = cache();
    QMutexLocker lock(&c.mutex);
    const QString root = currentRoot(c);
    // The root is part of the key: without a set root it follows the current directory.
    const QString key = root + QLatin1Char('|') + parts->join(QLatin1Char('/')).toLower()
        + QStringLiteral("|%1x%2").arg(drawnSize.width()).arg(drawnSize.height());
    if (const QImage *cached = c.images.object(key))
        return *cached;
    lock.unlock();

    const QString file = resolve(root, *parts);
    QImage image = file.isEmpty() ? QImage() : readImage(file, drawnSize);

    lock.relock();
    const qsizetype kb = image.isNull() ? 1 : image.sizeInBytes() / 1024 + 1;
    c.images.insert(key, new QImage(image), int(std::min<qsizetype>(kb, cacheBudgetKb)));
    return image;
}

void setPictureRoot(const QString &folder)
{
    PictureCache &c = cache();
    const QMutexLocker lock(&c.mutex);
    c.root = folder;
    c.rootSet = !folder.isEmpty();
    c.images.clear();
}

QString pictureRoot()
{
    PictureCache &c = cache();
    const QMutexLocker lock(&c.mutex);
    return currentRoot(c);
}

} // namespace dw

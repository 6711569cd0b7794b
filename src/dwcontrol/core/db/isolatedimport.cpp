#include "db/isolatedimport.h"

#include "db/mdbimport.h"
#include "db/sqliteconnection.h"

#include <sqlite3.h>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif
#include <unistd.h>
#endif

namespace dw {

namespace {

// The file the rows go to. It is thrown away unless the whole import succeeds, so it needs
// no journal and no waiting for the disk; SQLite writes its pages out as its cache fills.
SqliteHandle openTarget(const QString &target)
{
    sqlite3 *raw = nullptr;
    sqlite3_open_v2(QFile::encodeName(target).constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    SqliteHandle db(raw);
    if (db
        && sqlite3_exec(db.get(), "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF", nullptr, nullptr,
                        nullptr)
            != SQLITE_OK)
        return nullptr;
    return db;
}

// A failure of SQLite's on the target is the local disk's, not the Access file's.
ImportWriteFailure writeFailureOf(int code)
{
    switch (code & 0xff) {
    case SQLITE_FULL:
        return ImportWriteFailure::DiskFull;
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
    case SQLITE_READONLY:
    case SQLITE_PERM:
        return ImportWriteFailure::CannotWrite;
    default:
        return ImportWriteFailure::None;
    }
}

bool importInto(const QString &source, const QString &target, QString &problem,
                ImportWriteFailure &writeFailure)
{
    writeFailure = ImportWriteFailure::None;
    SqliteHandle db = openTarget(target);
    if (!db) {
        problem = QStringLiteral("no se puede escribir la copia local");
        writeFailure = ImportWriteFailure::CannotWrite;
        return false;
    }
    if (!importJet(source, db.get(), problem)) {
        writeFailure = writeFailureOf(sqlite3_errcode(db.get()));
        return false;
    }
    // Closing writes the last pages; a failure there is a failed import.
    const int rc = sqlite3_close(db.get());
    if (rc != SQLITE_OK) {
        problem = QStringLiteral("no se puede escribir la copia local");
        writeFailure = rc == SQLITE_FULL ? ImportWriteFailure::DiskFull : ImportWriteFailure::CannotWrite;
        return false;
    }
    (void)db.release();
    return true;
}

#ifdef Q_OS_UNIX

// What libmdb prints, and carries on, when a page the file refers to lies past its end or
// a long text's pages do not add up to its length.
constexpr std::array<const char *, 2> DamageMarkers{"beyond EOF", "incorrect memo length"};

bool showsDamage(const QByteArray &printed)
{
    return std::any_of(DamageMarkers.begin(), DamageMarkers.end(),
                       [&](const char *marker) { return printed.contains(marker); });
}

bool writeAll(int fd, const void *data, std::size_t size)
{
    const auto *bytes = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= std::size_t(written);
    }
    return true;
}

// The child: import, then send 'D', or a letter for the kind of failure (E damaged file, W
// target not writable, F disk full) + the problem.
[[noreturn]] void runChild(const QString &source, const QString &target, int result, int messages)
{
#ifdef Q_OS_LINUX
    // A reader lost in a loop must not outlive a program that was closed meanwhile.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
    // libmdb talks on stdout and stderr; the parent reads that to spot damage it let pass.
    ::dup2(messages, STDOUT_FILENO);
    ::dup2(messages, STDERR_FILENO);
    QString problem;
    ImportWriteFailure writeFailure = ImportWriteFailure::None;
    const bool done = importInto(source, target, problem, writeFailure);
    const char kind = done                                ? 'D'
        : writeFailure == ImportWriteFailure::DiskFull    ? 'F'
        : writeFailure == ImportWriteFailure::CannotWrite ? 'W'
                                                          : 'E';
    const QByteArray text = done ? QByteArray() : problem.toUtf8();
    const bool sent
        = writeAll(result, &kind, 1) && writeAll(result, text.constData(), std::size_t(text.size()));
    ::fflush(nullptr);
    ::_exit(sent ? 0 : 1);
}

struct Pipe
{
    int read = -1;
    int write = -1;
    Pipe() = default;
    Pipe(const Pipe &) = delete;
    Pipe &operator=(const Pipe &) = delete;
    ~Pipe()
    {
        closeRead();
        closeWrite();
    }
    bool open()
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return false;
        read = fds[0];
        write = fds[1];
        return true;
    }
    void closeRead()
    {
        if (read >= 0)
            ::close(read);
        read = -1;
    }
    void closeWrite()
    {
        if (write >= 0)
            ::close(write);
        write = -1;
    }
};

#endif

} // namespace

bool importJetIsolated(const QString &source, const QString &target, QString &problem,
                       ImportWriteFailure *writeFailure)
{
    if (writeFailure)
        *writeFailure = ImportWriteFailure::None;
#ifdef Q_OS_UNIX
    Pipe result;
    Pipe messages;
    if (!result.open() || !messages.open()) {
        problem = QStringLiteral("no se puede iniciar el lector de Access");
        return false;
    }
    // Generous for any real file; only a reader gone astray gets near it.
    const qint64 deadlineMs = 30'000 + QFileInfo(source).size() / 1024 / 1024 * 2'000;
    const pid_t child = ::fork();
    if (child < 0) {
        problem = QStringLiteral("no se puede iniciar el lector de Access");
        return false;
    }
    if (child == 0) {
        ::close(result.read);
        ::close(messages.read);
        runChild(source, target, result.write, messages.write);
    }
    result.closeWrite();
    messages.closeWrite();

    QByteArray received;
    QByteArray printed;
    bool damaged = false;
    bool timedOut = false;
    QElapsedTimer clock;
    clock.start();
    std::array<char, 4096> chunk{};
    // A reader that reported damage may go on reporting it without end: the file is
    // refused as soon as it does, not at the deadline.
    while ((result.read >= 0 || messages.read >= 0) && !damaged) {
        const qint64 left = deadlineMs - clock.elapsed();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd fds[2] = {{result.read, POLLIN, 0}, {messages.read, POLLIN, 0}};
        const int ready = ::poll(fds, 2, int(std::min<qint64>(left, 1000)));
        if (ready < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const ssize_t got = ::read(fds[i].fd, chunk.data(), chunk.size());
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                (i == 0 ? result : messages).closeRead();
                continue;
            }
            if (i == 0) {
                // Only a short answer comes this way; a longer one is not from a sound child.
                if (received.size() < 4096)
                    received.append(chunk.data(), got);
            } else {
                // Keep a window large enough to see the marker across chunk borders.
                printed.append(chunk.data(), got);
                damaged = damaged || showsDamage(printed);
                printed = printed.right(64);
            }
        }
    }
    if (timedOut || damaged)
        ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {}
    if (timedOut) {
        problem = QStringLiteral("la lectura no terminó");
        return false;
    }
    if (damaged) {
        problem = QStringLiteral("faltan páginas o hay páginas ilegibles");
        return false;
    }
    if (WIFSIGNALED(status)) {
        problem = QStringLiteral("el lector de Access se detuvo ante datos inválidos");
        return false;
    }
    if (!received.isEmpty() && QByteArrayView("EWF").contains(received[0])) {
        problem = QString::fromUtf8(received.mid(1));
        if (writeFailure && received[0] != 'E')
            *writeFailure
                = received[0] == 'F' ? ImportWriteFailure::DiskFull : ImportWriteFailure::CannotWrite;
        return false;
    }
    if (received != "D" || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        problem = QStringLiteral("el lector de Access no terminó la lectura");
        return false;
    }
    return true;
#else
    ImportWriteFailure failure = ImportWriteFailure::None;
    const bool done = importInto(source, target, problem, failure);
    if (writeFailure)
        *writeFailure = failure;
    return done;
#endif
}

} // namespace dw

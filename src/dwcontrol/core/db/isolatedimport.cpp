#include "db/isolatedimport.h"

#include "db/mdbimport.h"

#include <sqlite3.h>

#include <QElapsedTimer>
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

SqliteHandle openMemory()
{
    sqlite3 *raw = nullptr;
    sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY, nullptr);
    return SqliteHandle(raw);
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

// The child: import, then send 'D' + size + the serialized database, or 'E' + the problem.
[[noreturn]] void runChild(QByteArray file, int result, int messages)
{
#ifdef Q_OS_LINUX
    // A reader lost in a loop must not outlive a program that was closed meanwhile.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
    // libmdb talks on stdout and stderr; the parent reads that to spot damage it let pass.
    ::dup2(messages, STDOUT_FILENO);
    ::dup2(messages, STDERR_FILENO);
    bool sent = false;
    SqliteHandle db = openMemory();
    QString problem;
    if (db && importJet(std::move(file), db.get(), problem)) {
        sqlite3_int64 size = 0;
        unsigned char *data = sqlite3_serialize(db.get(), "main", &size, 0);
        if (data) {
            const quint64 length = quint64(size);
            sent = writeAll(result, "D", 1) && writeAll(result, &length, sizeof length)
                && writeAll(result, data, std::size_t(size));
            sqlite3_free(data);
        }
    } else {
        const QByteArray text = problem.toUtf8();
        sent = writeAll(result, "E", 1) && writeAll(result, text.constData(), std::size_t(text.size()));
    }
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

SqliteHandle importJetIsolated(QByteArray file, QString &problem)
{
#ifdef Q_OS_UNIX
    Pipe result;
    Pipe messages;
    if (!result.open() || !messages.open()) {
        problem = QStringLiteral("no se puede iniciar el lector de Access");
        return nullptr;
    }
    // Generous for any real file; only a reader gone astray gets near it.
    const qint64 deadlineMs = 30'000 + file.size() / 1024 / 1024 * 2'000;
    const pid_t child = ::fork();
    if (child < 0) {
        problem = QStringLiteral("no se puede iniciar el lector de Access");
        return nullptr;
    }
    if (child == 0) {
        ::close(result.read);
        ::close(messages.read);
        runChild(std::move(file), result.write, messages.write);
    }
    result.closeWrite();
    messages.closeWrite();
    file = QByteArray();

    QByteArray received;
    QByteArray printed;
    bool damaged = false;
    bool timedOut = false;
    QElapsedTimer clock;
    clock.start();
    std::array<char, 65536> chunk{};
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
        return nullptr;
    }
    if (damaged) {
        problem = QStringLiteral("faltan páginas o hay páginas ilegibles");
        return nullptr;
    }
    if (WIFSIGNALED(status)) {
        problem = QStringLiteral("el lector de Access se detuvo ante datos inválidos");
        return nullptr;
    }
    if (received.startsWith('E')) {
        problem = QString::fromUtf8(received.mid(1));
        return nullptr;
    }
    quint64 length = 0;
    if (!received.startsWith('D') || received.size() < qsizetype(1 + sizeof length)) {
        problem = QStringLiteral("el lector de Access no devolvió datos");
        return nullptr;
    }
    std::memcpy(&length, received.constData() + 1, sizeof length);
    const qsizetype offset = 1 + qsizetype(sizeof length);
    if (quint64(received.size() - offset) != length) {
        problem = QStringLiteral("el lector de Access devolvió datos incompletos");
        return nullptr;
    }
    SqliteHandle db = openMemory();
    auto *data = static_cast<unsigned char *>(sqlite3_malloc64(length ? length : 1));
    if (!db || !data) {
        sqlite3_free(data);
        problem = QStringLiteral("no hay memoria suficiente");
        return nullptr;
    }
    std::memcpy(data, received.constData() + offset, length);
    received = QByteArray();
    if (sqlite3_deserialize(db.get(), "main", data, sqlite3_int64(length), sqlite3_int64(length),
                            SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE)
        != SQLITE_OK) {
        problem = QString::fromUtf8(sqlite3_errmsg(db.get()));
        return nullptr;
    }
    return db;
#else
    SqliteHandle db = openMemory();
    if (!db || !importJet(std::move(file), db.get(), problem))
        return nullptr;
    return db;
#endif
}

} // namespace dw

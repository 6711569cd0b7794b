#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace testsupport {

// A private PostgreSQL cluster for one test process: made with initdb and run with pg_ctl
// as an unprivileged user (the test may run as root), in a temporary folder that also
// holds its Unix socket; it listens on no network address. It is stopped by stop(), by the
// destructor, and, should the test process die first, by a watchdog that outlives it.
class PostgresServer
{
public:
    PostgresServer();
    ~PostgresServer();
    PostgresServer(const PostgresServer &) = delete;
    PostgresServer &operator=(const PostgresServer &) = delete;

    // Why PostgreSQL cannot run here (server programs or the psqlODBC driver missing),
    // or an empty text when it can.
    [[nodiscard]] static QString unavailableReason();

    // Makes the cluster (the first time) and starts it; false with `problem` set.
    [[nodiscard]] bool start(QString &problem);
    // Stops it (fast shutdown: connections are cut); true when it is down.
    bool stop();

    // Runs psql on `database` with `input` as its script; false with `problem` set.
    [[nodiscard]] bool psql(const QString &database, const QByteArray &input, QString &problem,
                            QString *output = nullptr) const;
    // Creates `database` and loads an Access file into it with the two mdbtools commands
    // the README gives (schema, then rows), each piped into psql.
    [[nodiscard]] bool loadAccess(const QString &mdbFile, const QString &database, QString &problem) const;

    // A DSN-less ODBC connect string naming the psqlODBC driver.
    [[nodiscard]] QString connectString(const QString &database, const QString &password) const;
    [[nodiscard]] static QString password() { return QStringLiteral("Cl4ve;Secreta=9"); }

private:
    [[nodiscard]] bool run(const QString &program, const QStringList &arguments, bool asServerUser,
                           const QByteArray &input, QString &problem, QString *output = nullptr) const;

    std::unique_ptr<QTemporaryDir> m_folder;
    int m_port = 0;
    bool m_made = false;
    bool m_running = false;
};

} // namespace testsupport

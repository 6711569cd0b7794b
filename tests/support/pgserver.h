#pragma once

#include <QString>
#include <QTemporaryDir>

class QProcess;

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

    // How the program reaches the server: the psqlODBC driver or PostgreSQL's own client
    // library. The tests run once for each (ZEMPAROL_PG_CLIENT=libpq for the second).
    enum class Client { Odbc, Libpq };
    static Client clientOfTheRun();
    void setClient(Client client) { m_client = client; }

    // Before the first start: the cluster listens on 127.0.0.1 only, accepts only TLS
    // connections there (with a certificate for "localhost" signed by a CA made for it),
    // and no Unix socket for anyone but psql.
    void setTlsOnly() { m_tlsOnly = true; }
    // The CA certificate that signed a TLS-only cluster's certificate.
    [[nodiscard]] QString caFile() const;
    // The port the cluster listens on.
    [[nodiscard]] int port() const { return m_port; }

    // Makes the cluster (the first time) and starts it; false with `problem` set.
    [[nodiscard]] bool start(QString &problem);
    // Stops it (fast shutdown: connections are cut; immediate: as if the machine died);
    // true when it is down.
    bool stop(bool immediately = false);
    // Makes this cluster a hot standby of `primary` (pg_basebackup -R into a data folder of
    // its own, streaming from it) and starts it on a port of its own; false with `problem`.
    [[nodiscard]] bool startStandbyOf(const PostgresServer &primary, QString &problem);
    // The folder of the cluster's Unix socket (its "host").
    [[nodiscard]] QString socketFolder() const;

    // Runs psql on `database` with `input` as its script; false with `problem` set.
    [[nodiscard]] bool psql(const QString &database, const QByteArray &input, QString &problem,
                            QString *output = nullptr) const;
    // Starts psql on `database` with `input` and leaves it running (to hold a lock, say);
    // null with `problem` set when it could not start.
    [[nodiscard]] std::unique_ptr<QProcess> psqlInBackground(const QString &database, const QByteArray &input,
                                                             QString &problem) const;
    // Creates `database` and loads an Access file into it with the two mdbtools commands
    // the README gives (schema, then rows), each piped into psql.
    [[nodiscard]] bool loadAccess(const QString &mdbFile, const QString &database, QString &problem) const;

    // A DSN-less ODBC connect string naming the psqlODBC driver, or a libpq keyword string,
    // for the cluster's owner or `user`; without a password when `password` is null. A
    // TLS-only cluster is reached on "localhost" with verify-full and the CA of caFile().
    [[nodiscard]] QString connectString(const QString &database, const QString &password,
                                        const QString &user = QString()) const;
    [[nodiscard]] static QString password() { return QStringLiteral("Cl4ve;Secreta=9"); }

private:
    [[nodiscard]] bool makeCertificates(QString &problem) const;
    [[nodiscard]] bool run(const QString &program, const QStringList &arguments, bool asServerUser,
                           const QByteArray &input, QString &problem, QString *output = nullptr) const;

    std::unique_ptr<QTemporaryDir> m_folder;
    int m_port = 0;
    bool m_made = false;
    bool m_running = false;
    bool m_tlsOnly = false;
    Client m_client = Client::Odbc;
};

} // namespace testsupport

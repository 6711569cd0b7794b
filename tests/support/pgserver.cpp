#include "support/pgserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <algorithm>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace testsupport {

namespace {

const QString kDriver = u"PostgreSQL Unicode"_s;
const QString kUser = u"zemparol"_s;

QString serverBin()
{
    const QDir root(u"/usr/lib/postgresql"_s);
    QStringList versions = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versions.begin(), versions.end(),
              [](const QString &a, const QString &b) { return a.toInt() > b.toInt(); });
    for (const QString &version : versions) {
        const QString bin = root.filePath(version + u"/bin"_s);
        if (QFile::exists(bin + u"/initdb"_s) && QFile::exists(bin + u"/pg_ctl"_s))
            return bin;
    }
    return {};
}

bool driverRegistered()
{
    QProcess query;
    query.start(u"odbcinst"_s, {u"-q"_s, u"-d"_s});
    if (!query.waitForFinished(10000))
        return false;
    return QString::fromUtf8(query.readAllStandardOutput()).contains(u'[' + kDriver + u']');
}

bool runningAsRoot()
{
    return geteuid() == 0;
}

// A TCP port on 127.0.0.1 that nothing listens on now.
int freeLocalPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

bool giveToServerUser(const QString &file)
{
    return !runningAsRoot() || ::chown(QFile::encodeName(file).constData(), 65534, 65534) == 0;
}

} // namespace

PostgresServer::PostgresServer() = default;

PostgresServer::~PostgresServer()
{
    stop();
}

QString PostgresServer::unavailableReason()
{
    if (serverBin().isEmpty())
        return u"PostgreSQL no está instalado (faltan initdb y pg_ctl; paquete postgresql)"_s;
    if (!driverRegistered())
        return u"El controlador ODBC «%1» no está registrado (paquete odbc-postgresql)"_s.arg(kDriver);
    return {};
}

bool PostgresServer::run(const QString &program, const QStringList &arguments, bool asServerUser,
                         const QByteArray &input, QString &problem, QString *output) const
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"PGPASSWORD"_s, password());
    environment.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(m_folder->path());
    if (asServerUser && runningAsRoot())
        process.start(u"runuser"_s, QStringList{u"-u"_s, u"nobody"_s, u"--"_s, program} + arguments);
    else
        process.start(program, arguments);
    if (!process.waitForStarted(10000)) {
        problem = program + u": "_s + process.errorString();
        return false;
    }
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(180000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        problem = program + u" "_s + arguments.join(u' ') + u": "_s
            + QString::fromUtf8(process.readAllStandardError()).trimmed();
        process.kill();
        process.waitForFinished();
        return false;
    }
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput());
    return true;
}

bool PostgresServer::start(QString &problem)
{
    const QString bin = serverBin();
    if (!m_made) {
        // Under /tmp: the socket's path must stay short, and every user may reach it.
        m_folder = std::make_unique<QTemporaryDir>(u"/tmp/zemparol-pg-XXXXXX"_s);
        if (!m_folder->isValid()) {
            problem = u"no temporary folder for the cluster"_s;
            return false;
        }
        const QByteArray folder = QFile::encodeName(m_folder->path());
        if (runningAsRoot() && ::chown(folder.constData(), 65534, 65534) != 0) {
            problem = u"cannot give the cluster folder to nobody"_s;
            return false;
        }
        QFile passwordFile(m_folder->filePath(u"pw"_s));
        if (!passwordFile.open(QIODevice::WriteOnly)) {
            problem = u"cannot write the password file"_s;
            return false;
        }
        passwordFile.write(password().toUtf8() + '\n');
        passwordFile.close();
        passwordFile.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        // The socket's name carries the port; in a private folder any port is free.
        m_port = m_tlsOnly ? freeLocalPort() : 20000 + int(QCoreApplication::applicationPid() % 20000);
        if (!run(bin + u"/initdb"_s,
                 {u"-D"_s, m_folder->filePath(u"data"_s), u"-U"_s, kUser, u"--auth=scram-sha-256"_s,
                  u"--pwfile="_s + passwordFile.fileName(), u"-E"_s, u"UTF8"_s, u"--locale=C.UTF-8"_s,
                  u"--no-sync"_s},
                 true, {}, problem))
            return false;
        if (m_tlsOnly && !makeCertificates(problem))
            return false;
        m_made = true;
        // Whatever happens to the test process, the server does not outlive it for long.
        QProcess::startDetached(
            u"sh"_s,
            {u"-c"_s,
             u"while kill -0 %1 2>/dev/null; do sleep 2; done; %2 %3/pg_ctl -D %4 -m immediate stop >/dev/null 2>&1"_s
                 .arg(QString::number(QCoreApplication::applicationPid()),
                      runningAsRoot() ? u"runuser -u nobody --"_s : QString(), bin,
                      m_folder->filePath(u"data"_s))});
    }
    QString options = u"-k %1 -p %2 -c fsync=off"_s.arg(m_folder->path()).arg(m_port);
    if (m_tlsOnly) {
        options += u" -c listen_addresses=127.0.0.1 -c ssl=on -c ssl_cert_file=%1 -c ssl_key_file=%2"_s.arg(
            m_folder->filePath(u"server.crt"_s), m_folder->filePath(u"server.key"_s));
    } else {
        options += u" -c listen_addresses=''"_s;
    }
    if (!run(bin + u"/pg_ctl"_s,
             {u"-D"_s, m_folder->filePath(u"data"_s), u"-l"_s, m_folder->filePath(u"server.log"_s), u"-w"_s,
              u"-t"_s, u"120"_s, u"-o"_s, options, u"start"_s},
             true, {}, problem))
        return false;
    m_running = true;
    return true;
}

bool PostgresServer::stop(bool immediately)
{
    if (!m_running)
        return true;
    QString problem;
    m_running = !run(serverBin() + u"/pg_ctl"_s,
                     {u"-D"_s, m_folder->filePath(u"data"_s), u"-m"_s,
                      immediately ? u"immediate"_s : u"fast"_s, u"-w"_s, u"stop"_s},
                     true, {}, problem);
    return !m_running;
}

QString PostgresServer::socketFolder() const
{
    return m_folder ? m_folder->path() : QString();
}

bool PostgresServer::startStandbyOf(const PostgresServer &primary, QString &problem)
{
    m_folder = std::make_unique<QTemporaryDir>(u"/tmp/zemparol-pg-XXXXXX"_s);
    if (!m_folder->isValid()
        || (runningAsRoot() && ::chown(QFile::encodeName(m_folder->path()).constData(), 65534, 65534) != 0)) {
        problem = u"no folder for the standby"_s;
        return false;
    }
    m_port = primary.m_port + 1;
    // -R leaves standby.signal and the primary's connection, password included, in the copy.
    if (!run(u"pg_basebackup"_s,
             {u"-D"_s, m_folder->filePath(u"data"_s), u"-R"_s, u"-c"_s, u"fast"_s, u"-X"_s, u"stream"_s,
              u"-h"_s, primary.m_folder->path(), u"-p"_s, QString::number(primary.m_port), u"-U"_s, kUser,
              u"-d"_s, u"password='"_s + password() + u"'"_s},
             true, {}, problem))
        return false;
    m_made = true;
    QString ignored;
    return start(problem);
}

QString PostgresServer::caFile() const
{
    return m_folder ? m_folder->filePath(u"ca.crt"_s) : QString();
}

bool PostgresServer::makeCertificates(QString &problem) const
{
    const QStringList ec
        = {u"-newkey"_s, u"ec"_s, u"-pkeyopt"_s, u"ec_paramgen_curve:prime256v1"_s, u"-nodes"_s};
    QFile names(m_folder->filePath(u"san.cnf"_s));
    if (!names.open(QIODevice::WriteOnly)) {
        problem = u"cannot write san.cnf"_s;
        return false;
    }
    names.write("subjectAltName=DNS:localhost,IP:127.0.0.1\n");
    names.close();
    if (!run(u"openssl"_s,
             QStringList{u"req"_s, u"-x509"_s} + ec
                 + QStringList{u"-days"_s, u"2"_s, u"-subj"_s, u"/CN=Zemparol prueba CA"_s, u"-keyout"_s,
                               u"ca.key"_s, u"-out"_s, u"ca.crt"_s},
             false, {}, problem)
        || !run(u"openssl"_s,
                QStringList{u"req"_s} + ec
                    + QStringList{u"-subj"_s, u"/CN=localhost"_s, u"-keyout"_s, u"server.key"_s, u"-out"_s,
                                  u"server.csr"_s},
                false, {}, problem)
        || !run(u"openssl"_s,
                {u"x509"_s, u"-req"_s, u"-in"_s, u"server.csr"_s, u"-CA"_s, u"ca.crt"_s, u"-CAkey"_s,
                 u"ca.key"_s, u"-CAcreateserial"_s, u"-days"_s, u"2"_s, u"-extfile"_s, u"san.cnf"_s,
                 u"-out"_s, u"server.crt"_s},
                false, {}, problem))
        return false;
    const QString key = m_folder->filePath(u"server.key"_s);
    QFile::setPermissions(key, QFile::ReadOwner | QFile::WriteOwner);
    if (!giveToServerUser(key) || !giveToServerUser(m_folder->filePath(u"server.crt"_s))) {
        problem = u"cannot give the server's key to nobody"_s;
        return false;
    }
    // TLS over TCP, nothing else there; psql keeps the Unix socket.
    QFile rules(m_folder->filePath(u"data/pg_hba.conf"_s));
    if (!rules.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        problem = u"cannot write pg_hba.conf"_s;
        return false;
    }
    rules.write("local all all scram-sha-256\nhostssl all all 127.0.0.1/32 scram-sha-256\n");
    return true;
}

std::unique_ptr<QProcess> PostgresServer::psqlInBackground(const QString &database, const QByteArray &input,
                                                           QString &problem) const
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"PGPASSWORD"_s, password());
    process->setProcessEnvironment(environment);
    process->start(u"psql"_s,
                   {u"-X"_s, u"-q"_s, u"-v"_s, u"ON_ERROR_STOP=1"_s, u"-h"_s, m_folder->path(), u"-p"_s,
                    QString::number(m_port), u"-U"_s, kUser, u"-d"_s, database});
    if (!process->waitForStarted(10000)) {
        problem = u"psql: "_s + process->errorString();
        return nullptr;
    }
    process->write(input);
    return process;
}

bool PostgresServer::psql(const QString &database, const QByteArray &input, QString &problem,
                          QString *output) const
{
    return run(u"psql"_s,
               {u"-X"_s, u"-q"_s, u"-A"_s, u"-t"_s, u"-v"_s, u"ON_ERROR_STOP=1"_s, u"-h"_s, m_folder->path(),
                u"-p"_s, QString::number(m_port), u"-U"_s, kUser, u"-d"_s, database},
               false, input, problem, output);
}

bool PostgresServer::loadAccess(const QString &mdbFile, const QString &database, QString &problem) const
{
    QString schema;
    QString rows;
    return psql(u"postgres"_s, u"CREATE DATABASE \"%1\";"_s.arg(database).toUtf8(), problem)
        && run(u"mdb-schema"_s, {mdbFile, u"postgres"_s}, false, {}, problem, &schema)
        && psql(database, schema.toUtf8(), problem)
        && run(u"mdb-export"_s, {u"-I"_s, u"postgres"_s, mdbFile, u"directorio"_s}, false, {}, problem, &rows)
        && psql(database, rows.toUtf8(), problem);
}

PostgresServer::Client PostgresServer::clientOfTheRun()
{
    return qgetenv("ZEMPAROL_PG_CLIENT") == "libpq" ? Client::Libpq : Client::Odbc;
}

QString PostgresServer::connectString(const QString &database, const QString &passwordText,
                                      const QString &user) const
{
    const QString host = m_tlsOnly ? u"localhost"_s : m_folder->path();
    const QString role = user.isEmpty() ? kUser : user;
    if (m_client == Client::Libpq) {
        // Quoted values: \ and ' escaped with a backslash.
        const auto quoted = [](QString value) {
            value.replace(u"\\"_s, u"\\\\"_s).replace(u"'"_s, u"\\'"_s);
            return u'\'' + value + u'\'';
        };
        QString text = u"host=%1 port=%2 dbname=%3 user=%4"_s.arg(quoted(host))
                           .arg(m_port)
                           .arg(quoted(database), quoted(role));
        if (!passwordText.isNull())
            text += u" password="_s + quoted(passwordText);
        if (m_tlsOnly)
            text += u" sslmode=verify-full sslrootcert="_s + quoted(caFile());
        return text;
    }
    QString text = u"Driver={%1};Server=%2;Port=%3;Database=%4;Uid=%5"_s.arg(kDriver, host)
                       .arg(m_port)
                       .arg(database, role);
    if (!passwordText.isNull()) {
        // A braced value may hold ; and =, a doubled } stands for one.
        QString braced = passwordText;
        braced.replace(u"}"_s, u"}}"_s);
        text += u";Pwd={%1}"_s.arg(braced);
    }
    if (m_tlsOnly)
        text += u";SSLmode=verify-full;pqopt={sslrootcert=%1}"_s.arg(caFile());
    return text;
}

} // namespace testsupport

#include "sample.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace testsupport {
namespace {

// Generated once per test process; the folder lives until the process ends.
QString generateSample()
{
    static std::unique_ptr<QTemporaryDir> folder;
    static QString result;
    static bool tried = false;
    if (tried)
        return result;
    tried = true;
    folder = std::make_unique<QTemporaryDir>();
    if (!folder->isValid()) {
        qWarning("sample directory: cannot create a temporary folder");
        return result;
    }
    QProcess generator;
    generator.start(generatorProgram(), {folder->path()});
    if (!generator.waitForFinished(120000) || generator.exitStatus() != QProcess::NormalExit
        || generator.exitCode() != 0) {
        qWarning("sample directory: the generator failed: %s", generator.readAllStandardError().constData());
        return result;
    }
    if (!QFileInfo::exists(QDir(folder->path()).filePath(QStringLiteral("zemparol.mdb"))))
        return result;
    result = folder->path();
    return result;
}

} // namespace

QString sampleDirectory()
{
    const QString folder = generateSample();
    if (folder.isEmpty())
        QTest::qFail("the sample directory could not be generated", __FILE__, __LINE__);
    return folder;
}

QString generatorProgram()
{
    return QStringLiteral(ZEMPAROL_GENSAMPLE);
}

bool writeFixture(const QString &name, const QString &target, const std::function<void(QByteArray &)> &patch)
{
    QFile source(QDir(fixturesDirectory()).filePath(name));
    if (!source.open(QIODevice::ReadOnly))
        return false;
    QByteArray bytes = source.readAll();
    if (name.endsWith(QLatin1StringView(".z")))
        bytes = qUncompress(bytes);
    if (bytes.isEmpty())
        return false;
    if (patch)
        patch(bytes);
    QFile copy(target);
    return copy.open(QIODevice::WriteOnly | QIODevice::Truncate) && copy.write(bytes) == bytes.size();
}

QString sourceFile(const QString &relativePath)
{
    return QDir(QStringLiteral(ZEMPAROL_SOURCE_DIR)).filePath(relativePath);
}

QString fixturesDirectory()
{
    const QString folder = QStringLiteral(ZEMPAROL_FIXTURES);
    if (!QFileInfo(folder).isDir())
        QTest::qFail("the Access fixtures folder is missing: " ZEMPAROL_FIXTURES, __FILE__, __LINE__);
    return folder;
}

} // namespace testsupport

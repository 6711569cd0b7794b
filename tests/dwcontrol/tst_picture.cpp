// Picture names from layouts and from the database: found whatever their letter case
// and separators, refused when they lead out of the Fotos folder, cached.

#include "picture.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestPicture : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;

    void writeImage(const QString &relative, const char *format, QSize size = {40, 20})
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        QVERIFY(QDir(m_root.path()).mkpath(QFileInfo(relative).path()));
        QVERIFY(image.save(m_root.filePath(relative), format));
    }

    void writeBytes(const QString &relative, const QByteArray &bytes)
    {
        QFile file(m_root.filePath(relative));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        // The files as the program ships them, in letter cases that differ from the names
        // the layouts and the database use.
        writeImage(u"FOTOS/Logo_Zemparol.JPG"_s, "JPG");
        writeImage(u"FOTOS/Miembros/Ana Pérez.png"_s, "PNG", {30, 60});
        writeImage(u"FOTOS/disfrazado.jpg"_s, "PNG"); // a PNG under a JPEG name
        writeImage(u"secreto.png"_s, "PNG"); // beside Fotos, not in it
        writeBytes(u"FOTOS/roto.jpg"_s, QByteArrayLiteral("\xff\xd8\xff\xe0 not really a jpeg"));
        writeBytes(u"FOTOS/vacio.png"_s, {});
        QVERIFY(QFile::link(m_root.filePath(u"secreto.png"_s), m_root.filePath(u"FOTOS/enlace.png"_s)));
    }

    void init() { dw::setPictureRoot(m_root.path()); }
    void cleanupTestCase() { dw::setPictureRoot({}); }

    void found_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::newRow("layout name, other case") << u"Fotos\\logo_zemparol.jpg"_s << QSize(40, 20);
        QTest::newRow("forward slashes") << u"fotos/LOGO_ZEMPAROL.JPG"_s << QSize(40, 20);
        QTest::newRow("case of a folder below") << u"Fotos\\miembros\\ANA PÉREZ.PNG"_s << QSize(30, 60);
        QTest::newRow("doubled and dot parts") << u"Fotos\\\\.\\Logo_Zemparol.JPG"_s << QSize(40, 20);
        QTest::newRow("spaces around the name") << u"  Fotos\\Logo_Zemparol.JPG "_s << QSize(40, 20);
        QTest::newRow("content decides the format") << u"Fotos\\disfrazado.jpg"_s << QSize(40, 20);
    }
    void found()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        const QImage image = dw::loadPicture(name);
        QVERIFY2(!image.isNull(), qPrintable(name));
        QCOMPARE(image.size(), size);
    }

    void refused_data()
    {
        QTest::addColumn<QString>("name");
        const QString absolute = m_root.filePath(u"FOTOS/Logo_Zemparol.JPG"_s);
        QTest::newRow("empty") << QString();
        QTest::newRow("blank") << u"   "_s;
        QTest::newRow("absolute path of a real picture") << absolute;
        QTest::newRow("absolute, backslashes") << QString(absolute).replace(u'/', u'\\');
        QTest::newRow("drive letter") << u"C:\\Fotos\\Logo_Zemparol.JPG"_s;
        QTest::newRow("drive-relative") << u"C:Fotos\\Logo_Zemparol.JPG"_s;
        QTest::newRow("network share") << u"\\\\servidor\\Fotos\\Logo_Zemparol.JPG"_s;
        QTest::newRow("up and out") << u"Fotos\\..\\secreto.png"_s;
        QTest::newRow("up and back in") << u"Fotos\\..\\Fotos\\Logo_Zemparol.JPG"_s;
        QTest::newRow("outside the folder") << u"secreto.png"_s;
        QTest::newRow("the folder itself") << u"Fotos"_s;
        QTest::newRow("link leading out") << u"Fotos\\enlace.png"_s;
        QTest::newRow("missing") << u"Fotos\\no_existe.jpg"_s;
        QTest::newRow("corrupt") << u"Fotos\\roto.jpg"_s;
        QTest::newRow("empty file") << u"Fotos\\vacio.png"_s;
        QTest::newRow("a folder, not a file") << u"Fotos\\Miembros"_s;
    }
    void refused()
    {
        QFETCH(QString, name);
        QVERIFY2(dw::loadPicture(name).isNull(), qPrintable(name));
    }

    // A long list names the same logo on every page: it is read once, and a miss is
    // remembered too, until the root is set again.
    void cache()
    {
        QTemporaryDir other;
        QVERIFY(other.isValid());
        QVERIFY(QDir(other.path()).mkpath(u"Fotos"_s));
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(Qt::red);
        const QString file = other.filePath(u"Fotos/logo.png"_s);
        QVERIFY(image.save(file));
        dw::setPictureRoot(other.path());
        QCOMPARE(dw::pictureRoot(), other.path());

        QVERIFY(!dw::loadPicture(u"Fotos\\logo.png"_s).isNull());
        QVERIFY(dw::loadPicture(u"Fotos\\tarde.png"_s).isNull());
        QVERIFY(QFile::remove(file));
        QVERIFY(image.save(other.filePath(u"Fotos/tarde.png"_s)));
        QVERIFY2(!dw::loadPicture(u"FOTOS/LOGO.PNG"_s).isNull(), "a cached picture is not read again");
        QVERIFY2(dw::loadPicture(u"Fotos\\tarde.png"_s).isNull(), "a miss is cached as well");

        dw::setPictureRoot(other.path());
        QVERIFY(dw::loadPicture(u"Fotos\\logo.png"_s).isNull());
        QVERIFY(!dw::loadPicture(u"Fotos\\tarde.png"_s).isNull());
    }

    // Without a root of its own the program looks in its current directory.
    void currentDirectoryByDefault()
    {
        dw::setPictureRoot({});
        QCOMPARE(dw::pictureRoot(), QDir::currentPath());
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_root.path()));
        const bool found = !dw::loadPicture(u"Fotos\\Logo_Zemparol.JPG"_s).isNull();
        QVERIFY(QDir::setCurrent(previous));
        QVERIFY(found);
    }
};

QTEST_MAIN(TestPicture)
#include "tst_picture.moc"

// Which picture names draw a picture: only files inside the Fotos folder of the
// program's folder, found whatever their letter case and separators; every way out of
// it, and every file that is not a readable regular picture, draws nothing and never
// blocks. Each name is checked by painting a layout picture object and looking at a pixel.

#include "datawindow.h"
#include "objectpainter.h"
#include "objects/layoutsyntax.h"
#include "picture.h"
#include "units.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QtEndian>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const QColor kPicture(200, 0, 0);
constexpr int kFrame = 400; // layout units, square

// Paints a picture object naming `name` on white; true when the frame's centre shows it.
bool draws(const QString &name)
{
    dw::DataWindow dw;
    QString error;
    const QString syntax = uR"(datawindow(processing=freeform units=0 color=16777215)
header(height=%2)
picture(band=header name=p filename=%1 x="0" y="0" width="%2" height="%2" border="0"))"_s
                               .arg(dw::syntax::quote(name))
                               .arg(kFrame);
    if (!dw.setSyntax(syntax, &error))
        qFatal("layout refused: %s", qPrintable(error));
    const int side = int(dw::units::toPixelsX(kFrame));
    QImage canvas(side, side, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    dw::paintBand(dw, dw::Band::Header, 0, {&painter, QPointF(0, 0), 96.0, 96.0});
    painter.end();
    const QColor centre = canvas.pixelColor(side / 2, side / 2);
    return qAbs(centre.red() - kPicture.red()) < 40 && centre.green() < 40 && centre.blue() < 40;
}

void writePicture(const QString &path, QSize size = {40, 40}, const char *format = "PNG")
{
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QImage image(size, QImage::Format_RGB32);
    image.fill(kPicture);
    QVERIFY(image.save(path, format));
}

quint32 crc32(QByteArrayView bytes)
{
    quint32 crc = 0xffffffffu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A valid PNG whose header claims `side` × `side` pixels over a few bytes of data.
void writeBomb(const QString &path, quint32 side)
{
    QByteArray png;
    {
        QImage tiny(1, 1, QImage::Format_RGB32);
        tiny.fill(kPicture);
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(tiny.save(&buffer, "PNG"));
    }
    // After the 8-byte signature: the header chunk's length, "IHDR", width, height, the
    // rest of its 13 bytes, then the CRC of type and data.
    qToBigEndian(side, png.data() + 16);
    qToBigEndian(side, png.data() + 20);
    qToBigEndian(crc32(QByteArrayView(png.constData() + 12, 17)), png.data() + 29);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(png);
}

} // namespace

class tst_PictureConfinement : public QObject
{
    Q_OBJECT

    QTemporaryDir m_place; // holds the program's folder and what lies beside it
    QString m_root;

private slots:
    void initTestCase()
    {
        QVERIFY(m_place.isValid());
        m_root = m_place.filePath(u"programa"_s);
        writePicture(m_root + u"/Fotos/rojo.png"_s);
        writePicture(m_root + u"/Fotos/Miembros/Posgrado/rojo.png"_s);
        writePicture(m_root + u"/Otros/rojo.png"_s);
        writePicture(m_place.filePath(u"afuera/rojo.png"_s));
        writePicture(m_root + u"/Fotos/grande.jpg"_s, {7000, 7000}, "JPG");
        writeBomb(m_root + u"/Fotos/bomba.png"_s, 30000);
        QVERIFY(QFile::link(m_root + u"/Otros/rojo.png"_s, m_root + u"/Fotos/enlace.png"_s));
        QVERIFY(QFile::link(m_root + u"/Fotos/rojo.png"_s, m_root + u"/Fotos/interno.png"_s));
        // A folder beside Fotos whose name begins like it.
        writePicture(m_root + u"/Fotos-privadas/rojo.png"_s);
        QVERIFY(QFile::link(m_root + u"/Fotos-privadas/rojo.png"_s, m_root + u"/Fotos/vecino.png"_s));
        QCOMPARE(::mkfifo(QFile::encodeName(m_root + u"/Fotos/tubo.png"_s).constData(), 0600), 0);
        // A second program folder whose Fotos is a link to a folder outside it.
        QVERIFY(QDir().mkpath(m_place.filePath(u"enlazado"_s)));
        QVERIFY(QFile::link(m_place.filePath(u"afuera"_s), m_place.filePath(u"enlazado/Fotos"_s)));
    }

    void init() { dw::setPictureRoot(m_root); }
    void cleanupTestCase() { dw::setPictureRoot({}); }

    void namesInsideFotosDraw_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("as written") << u"Fotos\\rojo.png"_s;
        QTest::newRow("other letter case") << u"FOTOS\\ROJO.PNG"_s;
        QTest::newRow("forward slashes") << u"fotos/Rojo.png"_s;
        QTest::newRow("mixed separators") << u"Fotos/Miembros\\POSGRADO/rojo.png"_s;
        QTest::newRow("nested folders") << u"Fotos\\Miembros\\Posgrado\\rojo.png"_s;
        QTest::newRow("link within Fotos") << u"Fotos\\interno.png"_s;
        QTest::newRow("49 megapixel photo") << u"Fotos\\grande.jpg"_s;
    }

    void namesInsideFotosDraw()
    {
        QFETCH(QString, name);
        QVERIFY2(draws(name), qPrintable(name));
    }

    void namesOutsideFotosDrawNothing_data()
    {
        QTest::addColumn<QString>("root");
        QTest::addColumn<QString>("name");
        const QString own = m_root;
        QTest::newRow("sibling folder") << own << u"Otros\\rojo.png"_s;
        QTest::newRow("sibling folder, slashes") << own << u"otros/rojo.png"_s;
        QTest::newRow("absolute") << own << QString(own + u"/Fotos/rojo.png"_s);
        QTest::newRow("absolute, backslashes")
            << own << QString(own + u"/Fotos/rojo.png"_s).replace(u'/', u'\\');
        QTest::newRow("drive letter") << own << u"C:\\Fotos\\rojo.png"_s;
        QTest::newRow("drive-relative") << own << u"C:Fotos\\rojo.png"_s;
        QTest::newRow("UNC") << own << u"\\\\servidor\\Fotos\\rojo.png"_s;
        QTest::newRow(".. first") << own << u"..\\programa\\Fotos\\rojo.png"_s;
        QTest::newRow(".. in the middle") << own << u"Fotos\\Miembros\\..\\rojo.png"_s;
        QTest::newRow(".. out and back") << own << u"Fotos\\..\\Fotos\\rojo.png"_s;
        QTest::newRow(".. last") << own << u"Fotos\\Miembros\\Posgrado\\rojo.png\\.."_s;
        QTest::newRow("link out of Fotos") << own << u"Fotos\\enlace.png"_s;
        QTest::newRow("link to a look-alike folder") << own << u"Fotos\\vecino.png"_s;
        QTest::newRow("absolute, a Fotos at the root") << own << u"/Fotos/rojo.png"_s;
        QTest::newRow("absolute, backslash first") << own << u"\\Fotos\\rojo.png"_s;
        QTest::newRow("Fotos itself a link out") << m_place.filePath(u"enlazado"_s) << u"Fotos\\rojo.png"_s;
        QTest::newRow("a FIFO") << own << u"Fotos\\tubo.png"_s;
        QTest::newRow("a folder") << own << u"Fotos\\Miembros"_s;
        QTest::newRow("900 megapixel claim") << own << u"Fotos\\bomba.png"_s;
    }

    // A photo far larger than any frame is decoded scaled down, never whole.
    void largePhotoDecodedWithinItsBudget()
    {
        const QImage photo = dw::loadPicture(u"Fotos\\grande.jpg"_s);
        QVERIFY(!photo.isNull());
        QVERIFY2(qint64(photo.width()) * photo.height() <= 16'000'000,
                 qPrintable(u"%1 x %2"_s.arg(photo.width()).arg(photo.height())));
        QVERIFY(qAbs(photo.width() - photo.height()) <= 1);
        const QImage drawn = dw::loadPicture(u"Fotos\\grande.jpg"_s, {300, 200});
        QCOMPARE(drawn.size(), QSize(200, 200));
    }

    void namesOutsideFotosDrawNothing()
    {
        QFETCH(QString, root);
        QFETCH(QString, name);
        dw::setPictureRoot(root);
        QVERIFY2(!draws(name), qPrintable(name));
    }
};

QTEST_MAIN(tst_PictureConfinement)
#include "tst_pictureconfinement.moc"

#include "datawindowcontrol.h"
#include "db/transaction.h"
#include "globals.h"
#include "interaction.h"
#include "pagepreview.h"
#include "printjob.h"
#include "support/fakeinteraction.h"
#include "support/sample.h"
#include "units.h"
#include "w_consulta.h"
#include "w_consulta_estudiante.h"
#include "w_consulta_externo.h"

#include <QFile>
#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <malloc.h>
#include <unistd.h>

using namespace testsupport;

namespace {

const QColor kGreen(0, 128, 0);

// Reads one text value of the sample database directly, to compare with what a card shows.
QString stored(const QString &sql)
{
    sqlite3 *db = nullptr;
    QString result;
    const QByteArray file = QDir(sampleDirectory()).filePath(QStringLiteral("zemparol.mdb")).toUtf8();
    if (sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement, nullptr) == SQLITE_OK
            && sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_type(statement, 0) != SQLITE_NULL)
            result = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)));
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return result;
}

QString memberField(long id, const QString &column)
{
    return stored(QStringLiteral("select %1 from directorio where id = %2").arg(column).arg(id));
}

// The first page of a card as it prints, drawn at 96 dpi on a Letter page, and where the
// layout's (0, 0) falls on it: found from the first green rule, which starts at x 0.
struct RenderedPage
{
    QImage image;
    QPointF origin; // pixels
    double scale = 1;
    int pages = 0;

    QPointF at(double x, double y) const
    {
        return origin + QPointF(dw::units::toPixelsX(x) * scale, dw::units::toPixelsY(y) * scale);
    }
    QRect frame(double x, double y, double w, double h) const
    {
        return QRectF(at(x, y), at(x + w, y + h)).toAlignedRect();
    }
    // Rows holding a long green rule, top to bottom (one entry per rule).
    std::vector<int> ruleRows() const
    {
        std::vector<int> rows;
        for (int y = 0; y < image.height(); ++y) {
            int green = 0;
            for (int x = 0; x < image.width(); ++x)
                green += image.pixelColor(x, y) == kGreen;
            if (green > image.width() / 2 && (rows.empty() || rows.back() < y - 3))
                rows.push_back(y);
        }
        return rows;
    }
    int countPixels(const QRect &area, const std::function<bool(QColor)> &test) const
    {
        int count = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                count += test(image.pixelColor(x, y));
        return count;
    }
    QColor mean(const QRect &area) const
    {
        double r = 0, g = 0, b = 0;
        const double n = double(area.width()) * area.height();
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) {
                const QColor c = image.pixelColor(x, y);
                r += c.red();
                g += c.green();
                b += c.blue();
            }
        return QColor(int(r / n), int(g / n), int(b / n));
    }
};

RenderedPage render(const dw::DataWindow &model, double headerRuleY)
{
    RenderedPage page;
    const QPageLayout layout(QPageSize(QPageSize::Letter), QPageLayout::Portrait, QMarginsF());
    dw::PageRenderer renderer(model, layout);
    page.pages = renderer.pageCount();
    page.scale = renderer.scale();
    const QSizeF paper = layout.fullRectPixels(96).size();
    page.image = QImage(paper.toSize(), QImage::Format_RGB32);
    page.image.fill(Qt::white);
    QPainter painter(&page.image);
    renderer.paintPage(painter, 0, 96, 96);
    painter.end();
    const std::vector<int> rules = page.ruleRows();
    if (rules.empty())
        return page;
    int left = 0;
    while (left < page.image.width() && page.image.pixelColor(left, rules.front()) != kGreen)
        ++left;
    // The rule is drawn centred on its y, 9 units thick.
    const double top = rules.front() + 0.5 - dw::units::toPixelsY(4.5) * page.scale;
    page.origin = QPointF(left, top - dw::units::toPixelsY(headerRuleY) * page.scale);
    return page;
}

// The picture as the card draws it: scaled into the frame keeping its proportions.
QColor expectedMean(const QString &file, const QSize &frame)
{
    QImage source(file);
    if (source.isNull())
        return {};
    const QImage scaled = source.scaled(frame, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    RenderedPage copy;
    copy.image = scaled.convertToFormat(QImage::Format_RGB32);
    return copy.mean(QRect(scaled.width() / 4, scaled.height() / 4, scaled.width() / 2, scaled.height() / 2));
}

QString runTool(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(30000))
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString pdfText(const QString &pdf)
{
    return runTool(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
}

int pdfPages(const QString &pdf)
{
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
                                              .match(runTool(QStringLiteral("pdfinfo"), {pdf}));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QString pdfTitle(const QString &pdf)
{
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("Title:\\s+([^\\n]*)"))
                                              .match(runTool(QStringLiteral("pdfinfo"), {pdf}));
    return match.captured(1).trimmed();
}

QByteArray readAll(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool near(QColor a, QColor b, int tolerance = 24)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

bool dark(QColor c)
{
    return c.lightness() < 128;
}

bool isGreen(QColor c)
{
    return c.green() > 80 && c.red() < 120 && c.blue() < 120 && c.green() > c.red() + 40;
}

} // namespace

class CardsTest : public QObject
{
    Q_OBJECT
private:
    FakeInteraction fake;
    QString initialFolder = QDir::currentPath();
    QTemporaryDir output;

    template <class W> W *openCard(QPointer<W> &reference, auto parameter)
    {
        W *window = rt::OpenWithParm(reference, parameter);
        return window;
    }

    static void closeAll()
    {
        for (QWidget *w : {static_cast<QWidget *>(g_w_consulta.data()),
                           static_cast<QWidget *>(g_w_consulta_externo.data()),
                           static_cast<QWidget *>(g_w_consulta_estudiante.data())})
            if (w)
                w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // A researcher's card: values in their objects, pictures in their frames.
    void checkMemberCard(long id, const QString &title)
    {
        CardWindow *window = rt::OpenWithParm(g_w_consulta, double(id));
        dw::DataWindowControl &card = window->card();
        QCOMPARE(card.RowCount(), 1L);
        for (const QString &column :
             {QStringLiteral("nombre"), QStringLiteral("institucion"), QStringLiteral("dependencia"),
              QStringLiteral("cargo"), QStringLiteral("dir_dependencia"), QStringLiteral("email"),
              QStringLiteral("pagina_web"), QStringLiteral("nivel_sni"), QStringLiteral("enzimas"),
              QStringLiteral("subprograma_red"), QStringLiteral("proyectos"), QStringLiteral("estudiates")})
            QCOMPARE(card.GetItemString(1, column), memberField(id, column));
        QCOMPARE(card.GetItemString(1, QStringLiteral("tipo_miembro_red1")), title);
        QCOMPARE(card.GetItemString(1, QStringLiteral("lineas")),
                 memberField(id, QStringLiteral("linea_investigacion")) + QStringLiteral(" / ")
                     + memberField(id, QStringLiteral("area_aplicacion")));
        QCOMPARE(card.Describe(QStringLiteral("tipo_miembro_red1.band")), QStringLiteral("header"));
        QCOMPARE(card.Describe(QStringLiteral("DataWindow.Print.Preview")), QStringLiteral("yes"));
        QVERIFY(window->isMaximized() || window->windowState().testFlag(Qt::WindowMaximized));

        const RenderedPage page = render(card.model(), 356);
        QCOMPARE(page.pages, 1);
        // The header rule, and the footer rule: green, across the card.
        QCOMPARE(page.ruleRows().size(), std::size_t(2));
        // The title in green capitals, the labels in dark ink.
        QVERIFY(page.countPixels(page.frame(1001, 108, 1486, 120), isGreen) > 50);
        QVERIFY(page.countPixels(page.frame(741, 408 + 20, 517, 64), dark) > 20);
        // Photo and logo, named in another letter case than their files.
        const QDir fotos(QDir(sampleDirectory()).filePath(QStringLiteral("Fotos")));
        const QRect photo = page.frame(105, 408 + 40, 498, 496);
        const QString photoFile = memberField(id, QStringLiteral("foto")).section(u'\\', -1).toLower();
        const QColor expected = expectedMean(fotos.filePath(photoFile), photo.size());
        QVERIFY2(expected.isValid(), qPrintable(photoFile));
        const QSize drawn
            = QImage(fotos.filePath(photoFile)).size().scaled(photo.size(), Qt::KeepAspectRatio);
        const QRect photoCentre(photo.center() - QPoint(drawn.width() / 4, drawn.height() / 4), drawn / 2);
        QVERIFY2(near(page.mean(photoCentre), expected),
                 qPrintable(page.mean(photoCentre).name() + u' ' + expected.name()));
        QVERIFY(page.countPixels(page.frame(105, 408 + 560, 498, 496), [](QColor c) {
            return c != Qt::white;
        }) > 1000);
        // The network's logo, named "Logo_zemparol.JPG" in the layout.
        QVERIFY(page.countPixels(page.frame(23, 28, 681, 280), isGreen) > 200);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(output.isValid());
        const QString folder = sampleDirectory();
        QVERIFY(!folder.isEmpty());
        QVERIFY(QDir::setCurrent(folder)); // pictures resolve from the program's folder
        rt::CreateGlobals();
        QVERIFY(connectAccess(*rt::SQLCA(), QDir(folder).filePath(QStringLiteral("zemparol.mdb"))));
    }

    void cleanupTestCase()
    {
        closeAll();
        rt::DestroyGlobals();
        QDir::setCurrent(initialFolder);
    }

    void cleanup()
    {
        closeAll();
        fake.boxes.clear();
    }

    void researcherAndCommitteeCards()
    {
        checkMemberCard(sample::kResearcher, QStringLiteral("MIEMBRO INVESTIGADOR"));
        closeAll();
        checkMemberCard(sample::kCommittee, QStringLiteral("MIEMBRO DEL CTA"));
    }

    void externalCardShowsTheCompanyFields()
    {
        const long id = sample::kExternal;
        CardWindow *window = rt::OpenWithParm(g_w_consulta_externo, double(id));
        dw::DataWindowControl &card = window->card();
        QCOMPARE(card.RowCount(), 1L);
        for (const QString &column :
             {QStringLiteral("nombre"), QStringLiteral("razon_social"), QStringLiteral("reniecyt"),
              QStringLiteral("giro"), QStringLiteral("tipo_vinculacion"),
              QStringLiteral("instituciones_vinculacion")})
            QCOMPARE(card.GetItemString(1, column), memberField(id, column));
        QCOMPARE(card.GetItemString(1, QStringLiteral("tipo_miembro_red1")),
                 QStringLiteral("MIEMBRO EXTERNO"));
        QCOMPARE(card.Describe(QStringLiteral("razon_social.x")), QStringLiteral("1307"));
        QCOMPARE(card.Describe(QStringLiteral("institucion_t.text")), QStringLiteral("Razon Social:"));
        // No institution, SNI level, research lines, projects or students are placed on this card.
        for (const dw::LayoutObject &object : card.model().objects())
            QVERIFY2(object.raw(QStringLiteral("visible")) == u"0"
                         || !QStringList({QStringLiteral("institucion"), QStringLiteral("nivel_sni"),
                                          QStringLiteral("lineas"), QStringLiteral("proyectos"),
                                          QStringLiteral("estudiates")})
                                 .contains(object.name),
                     qPrintable(object.name));
        QCOMPARE(card.Describe(QStringLiteral("Evaluate('upper(\"reniecyt:\")', 1)")),
                 QStringLiteral("RENIECYT:"));

        const RenderedPage page = render(card.model(), 356);
        QCOMPARE(page.ruleRows().size(), std::size_t(2));
        QVERIFY(page.countPixels(page.frame(741, 408 + 932, 517, 64), dark) > 20); // the computed label
        QVERIFY(page.countPixels(page.frame(105, 408 + 560, 498, 496), [](QColor c) {
            return c != Qt::white;
        }) > 1000);
    }

    void awkwardMembers()
    {
        // A null application area: the join treats it as empty text.
        CardWindow *window = rt::OpenWithParm(g_w_consulta, double(sample::kNullArea));
        QCOMPARE(window->card().GetItemString(1, QStringLiteral("lineas")),
                 memberField(sample::kNullArea, QStringLiteral("linea_investigacion"))
                     + QStringLiteral(" / "));

        // Empty, missing and refused picture names draw nothing in their frames.
        const auto blankPhoto = [&](long id, bool logoToo) {
            rt::OpenWithParm(g_w_consulta, double(id));
            QCOMPARE(window->card().RowCount(), 1L);
            const RenderedPage page = render(window->card().model(), 356);
            const auto ink = [](QColor c) { return c != Qt::white; };
            QCOMPARE(page.countPixels(page.frame(105 + 20, 408 + 60, 458, 456), ink), 0);
            if (logoToo)
                QCOMPARE(page.countPixels(page.frame(105 + 20, 408 + 580, 458, 456), ink), 0);
        };
        blankPhoto(sample::kEmptyPhoto, false);
        blankPhoto(sample::kMissingPhoto, false);
        // "..\Fotos\..." and "\\servidor\..." name files that exist or could: still refused.
        blankPhoto(sample::kRefusedPaths, true);
    }

    void unknownIdShowsHeaderAndFooterOnly()
    {
        CardWindow *window = rt::OpenWithParm(g_w_consulta, 987654321.0);
        QCOMPARE(window->card().RowCount(), 0L);
        const RenderedPage page = render(window->card().model(), 356);
        QCOMPARE(page.ruleRows().size(), std::size_t(2));
        QVERIFY(page.countPixels(page.frame(23, 28, 681, 280), isGreen) > 200); // header picture
        // No labels, no values, no photo.
        QCOMPARE(page.countPixels(page.frame(0, 408, 3488, 1724), dark), 0);
    }

    void studentCardListsTheLevel()
    {
        const long expected
            = stored(QStringLiteral("select count(*) from directorio where tipo_miembro_red = 'Miembro "
                                    "Estudiante' and grado_academico = 'Doctorado'"))
                  .toLong();
        QVERIFY(expected > 1);
        CardWindow *window = rt::OpenWithParm(g_w_consulta_estudiante, QStringLiteral("Doctorado"));
        dw::DataWindowControl &card = window->card();
        QCOMPARE(card.RowCount(), expected);
        dw::DataWindow &model = card.model();
        const int tutor = model.columnNumber(QStringLiteral("tutor"));
        const int cotutor = model.columnNumber(QStringLiteral("cotutor"));
        bool seen = false;
        for (long row = 1; row <= card.RowCount(); ++row) {
            QCOMPARE(card.GetItemString(row, QStringLiteral("grado_academico")), QStringLiteral("Doctorado"));
            if (card.GetItemString(row, QStringLiteral("nombre"))
                != memberField(sample::kDoctoralStudent, QStringLiteral("nombre")))
                continue;
            seen = true;
            // Tutor ids shown as the tutors' names.
            QCOMPARE(model.displayText(row, tutor),
                     memberField(sample::kResearcher, QStringLiteral("nombre")));
            QCOMPARE(model.displayText(row, cotutor),
                     memberField(sample::kCommittee, QStringLiteral("nombre")));
            QCOMPARE(card.GetItemString(row, QStringLiteral("tesis")),
                     memberField(sample::kDoctoralStudent, QStringLiteral("nombre_tesis"))
                         + QStringLiteral(" / ")
                         + memberField(sample::kDoctoralStudent, QStringLiteral("linea_investigacion")));
        }
        QVERIFY(seen);
        const RenderedPage page = render(model, 392);
        // Two header rules, one under every student, the footer rule.
        QCOMPARE(page.ruleRows().size(), std::size_t(3 + expected));
        QVERIFY(page.countPixels(page.frame(1449, 104, 1701, 120), isGreen) > 50); // "MIEMBROS ESTUDIANTES"

        // A tutor that matches no member id is shown as stored.
        rt::OpenWithParm(g_w_consulta_estudiante, QStringLiteral("Maestría"));
        bool unmatched = false;
        for (long row = 1; row <= card.RowCount(); ++row)
            unmatched |= model.displayText(row, tutor)
                == memberField(sample::kUnmatchedTutor, QStringLiteral("tutor"));
        QVERIFY(unmatched);

        // A level nobody studies: headings and footer, no lines.
        rt::OpenWithParm(g_w_consulta_estudiante, QStringLiteral("Especialidad"));
        QCOMPARE(card.RowCount(), 0L);
        const RenderedPage empty = render(model, 392);
        QCOMPARE(empty.ruleRows().size(), std::size_t(3));
        QVERIFY(empty.countPixels(empty.frame(27, 408, 416, 64), dark) > 20); // "Nombre" heading
    }

    void reopeningShowsTheNewMember()
    {
        CardWindow *first = rt::OpenWithParm(g_w_consulta, double(sample::kResearcher));
        CardWindow *second = rt::OpenWithParm(g_w_consulta, double(sample::kCommittee));
        QCOMPARE(second, first);
        QCOMPARE(second->card().GetItemString(1, QStringLiteral("nombre")),
                 memberField(sample::kCommittee, QStringLiteral("nombre")));
    }

    // Opening and closing cards gives back what each card took: measured as the resident
    // memory of this process after a warm-up, with freed heap returned to the system.
    void cardsOpenedAndClosedReturnTheirMemory()
    {
#ifdef __SANITIZE_ADDRESS__
        QSKIP("AddressSanitizer holds freed memory back; the build without sanitizers measures this");
#endif
        const auto cycle = [] {
            CardWindow *window = rt::OpenWithParm(g_w_consulta, double(sample::kResearcher));
            QVERIFY(window);
            QCoreApplication::processEvents();
            closeAll();
        };
        const auto resident = [] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            ::malloc_trim(0);
            QFile statm(QStringLiteral("/proc/self/statm"));
            if (!statm.open(QIODevice::ReadOnly))
                return qint64(-1);
            return statm.readAll().split(' ').value(1).toLongLong() * qint64(::sysconf(_SC_PAGESIZE));
        };
        for (int i = 0; i < 30; ++i)
            cycle();
        const qint64 before = resident();
        QVERIFY(before > 0);
        for (int i = 0; i < 200; ++i)
            cycle();
        const qint64 grown = resident() - before;
        QVERIFY2(grown < 2 * 1024 * 1024,
                 qPrintable(QStringLiteral("%1 KB more after 200 cards").arg(grown / 1024)));
    }

    void resizeKeepsTheButtonsInTheirStrip()
    {
        CardWindow *window = rt::OpenWithParm(g_w_consulta, double(sample::kResearcher));
        window->showNormal();
        window->QWidget::resize(QSize(1000, 600)); // 4571 x 2400 units
        QTRY_VERIFY(std::abs(window->card().Width() - (4571 - 150)) <= 5);
        const int w = qRound(dw::units::toUnitsX(window->width()));
        const int h = qRound(dw::units::toUnitsY(window->height()));
        // Within the rounding of one pixel (4.6 units across, 4 down).
        QVERIFY(std::abs(window->card().Width() - (w - 150)) <= 5);
        QVERIFY(std::abs(window->card().Height() - (h - 350)) <= 4);
        const auto unitsOf = [](const QWidget *button) {
            return QPoint(qRound(dw::units::toUnitsX(button->x())), qRound(dw::units::toUnitsY(button->y())));
        };
        const auto *exit = window->findChild<QPushButton *>(QStringLiteral("pb_salir"));
        const auto *print = window->findChild<QPushButton *>(QStringLiteral("pb_insertar"));
        QVERIFY(exit && print);
        QVERIFY((unitsOf(exit) - QPoint(w - 270, h - 285)).manhattanLength() <= 8);
        QVERIFY((unitsOf(print) - QPoint(w - 1070, h - 285)).manhattanLength() <= 8);
        QCOMPARE(exit->toolTip(), QStringLiteral("Cierra la Ventana Actual"));
        QCOMPARE(print->toolTip(), QStringLiteral("Imprime el Reporte"));
        QVERIFY(!exit->icon().isNull() && !print->icon().isNull());
        QCOMPARE(window->windowTitle(), QStringLiteral("Consulta de Fichas"));
    }

    void printing()
    {
        const QString pdf = output.filePath(QStringLiteral("ficha.pdf"));
        fake.printToFile = pdf;

        // The printer selection cannot be shown: a message, nothing printed.
        CardWindow *window = rt::OpenWithParm(g_w_consulta, double(sample::kApostrophe));
        fake.printerSetupResult = -1;
        window->findChild<QPushButton *>(QStringLiteral("pb_insertar"))->click();
        QCOMPARE(fake.boxes.size(), 1);
        QCOMPARE(fake.boxes.first().title, QStringLiteral("Consulta de Fichas"));
        QCOMPARE(fake.boxes.first().text,
                 QStringLiteral("No fue posible activar el seleccionador de impresoras de Windows"));
        QVERIFY(!QFile::exists(pdf));
        // Cancelled: nothing printed, nothing said, nothing asked again.
        fake.printerSetupResult = 0;
        const int asked = fake.printerSetupCalls;
        window->printCard();
        QVERIFY(!QFile::exists(pdf));
        QCOMPARE(fake.boxes.size(), 1);
        QCOMPARE(fake.printerSetupCalls, asked + 1);

        // Confirmed: the card goes to the chosen PDF file, its text readable there.
        fake.printerSetupResult = 1;
        window->printCard();
        QVERIFY(QFile::exists(pdf));
        const QString printed = pdfText(pdf);
        QVERIFY2(printed.contains(QStringLiteral("O'Farrill"))
                     || printed.contains(QStringLiteral("O’Farrill")),
                 qPrintable(printed));
        QVERIFY(printed.contains(QStringLiteral("MIEMBRO INVESTIGADOR")));
        QCOMPARE(pdfTitle(pdf),
                 QStringLiteral("Ficha de ") + memberField(sample::kApostrophe, QStringLiteral("nombre")));
        QFile::remove(pdf);

        // The students of a level: every page of the list, then an empty card prints nothing.
        CardWindow *students = rt::OpenWithParm(g_w_consulta_estudiante, QStringLiteral("Maestría"));
        const int calls = fake.printerSetupCalls;
        students->printCard();
        QCOMPARE(fake.printerSetupCalls, calls + 1);
        // The file proposed is named after this card, in the folder cards were printed to.
        QCOMPARE(fake.proposedPrintFile, output.filePath(QStringLiteral("ficha-estudiantes-maestria.pdf")));
        QCOMPARE(pdfTitle(pdf), QStringLiteral("Estudiantes: Maestría"));
        const dw::PageRenderer renderer(students->card().model(), dw::chosenPageLayout());
        QCOMPARE(pdfPages(pdf), renderer.pageCount());
        QFile::remove(pdf);
        rt::OpenWithParm(g_w_consulta_estudiante, QStringLiteral("Especialidad"));
        students->printCard();
        QCOMPARE(fake.printerSetupCalls, calls + 2);
        QVERIFY(!QFile::exists(pdf));
        fake.printToFile.clear();
    }

    // A card printed to a PDF file keeps its photo at the file's own resolution and its
    // text as text.
    void pdfKeepsPicturesWhole()
    {
        fake.printerSetupResult = 1;
        const QString pdf = output.filePath(QStringLiteral("investigador.pdf"));
        fake.printToFile = pdf;
        CardWindow *window = rt::OpenWithParm(g_w_consulta, double(sample::kResearcher));
        window->printCard();
        fake.printToFile.clear();
        QVERIFY(pdfText(pdf).contains(memberField(sample::kResearcher, QStringLiteral("nombre"))));
        const QDir fotos(QDir(sampleDirectory()).filePath(QStringLiteral("Fotos")));
        const QString photoFile
            = memberField(sample::kResearcher, QStringLiteral("foto")).section(u'\\', -1).toLower();
        const QSize photo = QImage(fotos.filePath(photoFile)).size();
        QVERIFY2(!photo.isEmpty(), qPrintable(photoFile));
        const QString images = runTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
        const QRegularExpression full(
            QStringLiteral("\\bimage\\s+%1\\s+%2\\s").arg(photo.width()).arg(photo.height()));
        QVERIFY2(images.contains(full), qPrintable(images));
    }

    // A bold label aligned right at the card's left edge, a little wider than its frame,
    // keeps its first letter in the printable margin instead of losing it at the margin.
    void labelAtTheLeftEdgeStaysWhole()
    {
        CardWindow *window = rt::OpenWithParm(g_w_consulta, double(sample::kResearcher));
        const dw::DataWindow &model = window->card().model();
        const double margin = 36; // points
        const QPageLayout layout(QPageSize(QPageSize::Letter), QPageLayout::Portrait,
                                 QMarginsF(margin, margin, margin, margin));
        const dw::PageRenderer renderer(model, layout);
        const double dpi = 300;
        QImage image(layout.fullRectPixels(int(dpi)).size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        renderer.paintPage(painter, 0, dpi, dpi);
        painter.end();

        const double unitsDown = model.bandHeight(dw::Band::Header) + 1300; // "Temas de Investigación:"
        const int top = int(margin / 72 * dpi + dw::units::toPixelsY(unitsDown, dpi) * renderer.scale());
        const int bottom = top + int(dw::units::toPixelsY(64, dpi) * renderer.scale());
        const int printableLeft = int(margin / 72 * dpi);
        int ink = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < printableLeft; ++x)
                ink += dark(image.pixelColor(x, y));
        QVERIFY(ink > 20);
    }

    // A print whose start fails (its file cannot be written) says why, in Spanish, and
    // leaves nothing behind: the next print, to a file that can be written, works.
    void failedPrintLeavesNothingStuck()
    {
        fake.boxes.clear();
        fake.printerSetupResult = 1;
        CardWindow *window = rt::OpenWithParm(g_w_consulta, double(sample::kApostrophe));
        const QString unwritable = output.filePath(QStringLiteral("no/existe/ficha.pdf"));
        fake.printToFile = unwritable;
        window->printCard();
        QVERIFY(!QFile::exists(unwritable));
        QCOMPARE(fake.boxes.size(), 1);
        QCOMPARE(fake.boxes.first().title, QStringLiteral("Consulta de Fichas"));
        QVERIFY2(fake.boxes.first().text.startsWith(QStringLiteral("No se pudo imprimir."))
                     && fake.boxes.first().text.contains(QStringLiteral("no existe")),
                 qPrintable(fake.boxes.first().text));

        const QString pdf = output.filePath(QStringLiteral("segunda.pdf"));
        fake.printToFile = pdf;
        window->printCard();
        QCOMPARE(fake.boxes.size(), 1);
        const dw::PageRenderer renderer(window->card().model(), dw::chosenPageLayout());
        QCOMPARE(pdfPages(pdf), renderer.pageCount());
        QVERIFY(pdfText(pdf).contains(QStringLiteral("MIEMBRO INVESTIGADOR")));

        // The next print proposes the card's own file in that folder but never writes a
        // file unasked: cancelling the selection leaves the earlier one as it was.
        const QByteArray before = readAll(pdf);
        fake.printToFile.clear();
        fake.printerSetupResult = 0;
        window->printCard();
        QCOMPARE(fake.proposedPrintFile,
                 output.filePath(QStringLiteral("ficha-patricio-ofarrill-baeza.pdf")));
        QCOMPARE(readAll(pdf), before);
        fake.printerSetupResult = 1;
    }
};

QTEST_MAIN(CardsTest)
#include "tst_cards.moc"

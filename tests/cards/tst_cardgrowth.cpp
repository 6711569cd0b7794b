// Cards show every value whole: a long value is word-wrapped at its column's width and
// grows downwards, what lies below it moves down, a card taller than a page continues
// on the next under the same header; a card whose values fit looks as designed.

#include "datawindowcontrol.h"
#include "globals.h"
#include "pagepreview.h"
#include "printjob.h"
#include "support/fakeinteraction.h"
#include "support/pdfwords.h"
#include "support/sample.h"
#include "w_consulta.h"
#include "w_consulta_estudiante.h"
#include "w_consulta_externo.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using namespace testsupport;

namespace {

// Numbered words, so each one can be looked for in the printed text; `stem` carries an
// accent, which must survive into the PDF.
QStringList numberedWords(const QString &stem, int characters)
{
    QStringList words;
    int length = 0;
    for (int i = 1; length < characters; ++i) {
        words << stem + QStringLiteral("%1").arg(i, 5, 10, QLatin1Char('0'));
        length += int(words.back().size()) + 1;
    }
    return words;
}

bool execute(const QString &file, const QString &sql, const QString &value)
{
    sqlite3 *db = nullptr;
    bool ok = sqlite3_open(file.toUtf8().constData(), &db) == SQLITE_OK;
    sqlite3_stmt *statement = nullptr;
    ok = ok && sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement, nullptr) == SQLITE_OK;
    const QByteArray utf8 = value.toUtf8();
    ok = ok
        && sqlite3_bind_text(statement, 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT) == SQLITE_OK;
    ok = ok && sqlite3_step(statement) == SQLITE_DONE && sqlite3_changes(db) == 1;
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return ok;
}

// The words of `expected` (all made of `stem` and a number) in the pages' text, each once
// and in order; what is missing or doubled otherwise.
QString missingWords(const std::vector<PdfPage> &pages, const QString &stem, const QStringList &expected)
{
    QStringList printed;
    for (const PdfPage &page : pages)
        for (const PdfWord &word : page.words)
            if (word.text.startsWith(stem))
                printed << QString(word.text).remove(QLatin1Char(';'));
    if (printed == expected)
        return {};

    for (const QString &word : expected)
        if (printed.count(word) != 1)
            return QStringLiteral("%1 printed %2 times").arg(word).arg(printed.count(word));
    return QStringLiteral("words out of order");
}

// The box around the words of a page that start with `stem`.
PdfWord boxOf(const PdfPage &page, const QString &stem)
{
    PdfWord box{stem, 1e9, -1e9, 1e9, -1e9};
    for (const PdfWord &word : page.words) {
        if (!word.text.startsWith(stem))
            continue;
        box.left = std::min(box.left, word.left);
        box.right = std::max(box.right, word.right);
        box.top = std::min(box.top, word.top);
        box.bottom = std::max(box.bottom, word.bottom);
    }
    return box;
}

QImage paint(const dw::DataWindow &model, int page, double dpi)
{
    const QPageLayout layout(QPageSize(QPageSize::Letter), QPageLayout::Portrait, QMarginsF(36, 36, 36, 36));
    const dw::PageRenderer renderer(model, layout);
    QImage image(layout.fullRectPixels(int(dpi)).size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    renderer.paintPage(painter, page, dpi, dpi);
    return image;
}

// The columns of a card layout that are marked to grow, switched off: the card is then
// laid out and painted as designed, with no part of the growing.
void stopGrowing(dw::DataWindowControl &card)
{
    const dw::DataWindow &model = card.model();
    for (int column = 1; column <= model.columnCount(); ++column) {
        const QString name = model.columnName(column);
        if (card.Describe(name + QStringLiteral(".grow")) == u"yes")
            card.Modify(name + QStringLiteral(".grow=no"));
    }
}

} // namespace

class CardGrowthTest : public QObject
{
    Q_OBJECT
    FakeInteraction fake;
    QTemporaryDir folder;
    QString initialFolder = QDir::currentPath();
    const QString projectStem = QStringLiteral("señal");
    const QStringList projects = numberedWords(projectStem, 3000);
    const QString manyStem = QStringLiteral("enzíma");
    const QStringList manyProjects = numberedWords(manyStem, 30000);
    const QString topicStem = QStringLiteral("temá");
    const QStringList topics = numberedWords(topicStem, 300);
    const QString studentStem = QStringLiteral("alumnó");
    const QStringList students = numberedWords(studentStem, 400);
    const QString thesisStem = QStringLiteral("tesís");
    const QStringList thesis = numberedWords(thesisStem, 600);

    // Prints a card window to a PDF file and reads its pages back.
    std::vector<PdfPage> print(CardWindow *window, const QString &name)
    {
        const QString pdf = folder.filePath(name);
        fake.printToFile = pdf;
        fake.printerSetupResult = 1;
        window->printCard();
        fake.printToFile.clear();
        return readPdfPages(pdf);
    }

private slots:
    void initTestCase()
    {
        const QString sample = sampleDirectory();
        QVERIFY(!sample.isEmpty() && folder.isValid());
        QVERIFY(QDir::setCurrent(sample)); // pictures resolve from the program's folder
        const QString database = folder.filePath(QStringLiteral("zemparol.mdb"));
        QVERIFY(QFile::copy(QDir(sample).filePath(QStringLiteral("zemparol.mdb")), database));
        QVERIFY(QFile::setPermissions(database, QFile::ReadOwner | QFile::WriteOwner));
        const QString update = QStringLiteral("update directorio set %1 = ? where id = %2");
        QVERIFY(execute(database, update.arg(u"proyectos").arg(sample::kResearcher), projects.join(u' ')));
        QVERIFY(execute(database, update.arg(u"estudiates").arg(sample::kResearcher), students.join(u' ')));
        QVERIFY(execute(database, update.arg(u"linea_investigacion").arg(sample::kResearcher),
                        topics.join(u' ')));
        QVERIFY(
            execute(database, update.arg(u"proyectos").arg(sample::kLongProjects), manyProjects.join(u"; ")));
        QVERIFY(
            execute(database, update.arg(u"nombre_tesis").arg(sample::kDoctoralStudent), thesis.join(u' ')));
        // Values that fit their frames.
        QVERIFY(execute(database, update.arg(u"proyectos").arg(sample::kCommittee), u"Proyecto breve"_qs));
        QVERIFY(execute(database, update.arg(u"estudiates").arg(sample::kCommittee), u"Ninguno"_qs));
        QVERIFY(
            execute(database, update.arg(u"subprograma_red").arg(sample::kCommittee), u"Subprograma 1"_qs));
        rt::CreateGlobals();
        QVERIFY(connectAccess(*rt::SQLCA(), database));
    }

    void cleanupTestCase()
    {
        for (QWidget *w : {static_cast<QWidget *>(g_w_consulta.data()),
                           static_cast<QWidget *>(g_w_consulta_externo.data()),
                           static_cast<QWidget *>(g_w_consulta_estudiante.data())})
            if (w)
                w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        rt::DestroyGlobals();
        QDir::setCurrent(initialFolder);
    }

    // 300 characters of research topics, 3,000 of projects under them and 400 of students
    // under those: every word printed once, in order; each value starts under the last
    // line of the one above it, and nothing else of the card is under either.
    void longProjectsPrintWhole()
    {
        CardWindow *window = rt::OpenWithParm(g_w_consulta, double(sample::kResearcher));
        const std::vector<PdfPage> pages = print(window, QStringLiteral("proyectos.pdf"));
        QVERIFY(!pages.empty());
        QString missing = missingWords(pages, projectStem, projects);
        QVERIFY2(missing.isEmpty(), qPrintable(missing));
        missing = missingWords(pages, studentStem, students);
        QVERIFY2(missing.isEmpty(), qPrintable(missing));
        missing = missingWords(pages, topicStem, topics);
        QVERIFY2(missing.isEmpty(), qPrintable(missing));
        const PdfWord topicsBox = boxOf(pages.front(), topicStem);
        QVERIFY(topicsBox.bottom > topicsBox.top);
        QVERIFY(boxOf(pages.front(), projectStem).top >= topicsBox.bottom);
        for (const PdfPage &page : pages) {
            const PdfWord projectsBox = boxOf(page, projectStem);
            const PdfWord studentsBox = boxOf(page, studentStem);
            const PdfWord label = boxOf(page, QStringLiteral("Estudiantes:"));
            if (projectsBox.bottom > 0 && studentsBox.bottom > 0)
                QVERIFY(label.top >= projectsBox.bottom && studentsBox.top >= projectsBox.bottom);
            for (const PdfWord &word : page.words)
                if (!word.text.startsWith(projectStem) && !word.text.startsWith(studentStem))
                    QVERIFY2(!word.overlaps(projectsBox) && !word.overlaps(studentsBox),
                             qPrintable(word.text));
        }
        // The label stands with the first line of its value.
        for (const PdfPage &page : pages)
            QCOMPARE(page.contains(QStringLiteral("Estudiantes:")), page.contains(students.first()));
        const PdfPage &page = pages.front();
        // The first line stands where a value that fits stands beside its label.
        const double grownDrop
            = boxOf(page, projects.first()).bottom - boxOf(page, QStringLiteral("Proyectos:")).bottom;
        CardWindow *other = rt::OpenWithParm(g_w_consulta, double(sample::kCommittee));
        const std::vector<PdfPage> fitting = print(other, QStringLiteral("breve.pdf"));
        QCOMPARE(fitting.size(), std::size_t(1));
        const double fittingDrop = boxOf(fitting.front(), QStringLiteral("Proyecto")).bottom
            - boxOf(fitting.front(), QStringLiteral("Proyectos:")).bottom;
        QVERIFY2(std::abs(grownDrop - fittingDrop) < 0.5,
                 qPrintable(u"%1 %2"_qs.arg(grownDrop).arg(fittingDrop)));
    }

    // 30,000 characters run over several pages, each with the card's header and footer
    // and the projects between them.
    void projectsLongerThanAPageContinue()
    {
        CardWindow *window = rt::OpenWithParm(g_w_consulta, double(sample::kLongProjects));
        const std::vector<PdfPage> pages = print(window, QStringLiteral("larga.pdf"));
        QVERIFY(pages.size() >= 3);
        const dw::PageRenderer renderer(window->card().model(), dw::chosenPageLayout());
        QCOMPARE(int(pages.size()), renderer.pageCount());
        const QString missing = missingWords(pages, manyStem, manyProjects);
        QVERIFY2(missing.isEmpty(), qPrintable(missing));
        for (const PdfPage &page : pages) {
            const PdfWord title = boxOf(page, QStringLiteral("INVESTIGADOR"));
            const PdfWord footer = boxOf(page, QStringLiteral("Circuito"));
            const PdfWord text = boxOf(page, manyStem);
            QVERIFY2(title.bottom > 0 && footer.bottom > 0, qPrintable(page.text().left(200)));
            QVERIFY(text.top > title.bottom && text.bottom < footer.top);
        }
        // The fields above the projects are on the first page only, those under them on
        // the last only.
        for (std::size_t i = 0; i < pages.size(); ++i) {
            QCOMPARE(pages[i].contains(QStringLiteral("Nombre:")), i == 0);
            QCOMPARE(pages[i].contains(QStringLiteral("Estudiantes:")), i + 1 == pages.size());
        }
    }

    // A long thesis makes its student's line grow; the next student starts under it.
    void studentsLineGrows()
    {
        CardWindow *window = rt::OpenWithParm(g_w_consulta_estudiante, QStringLiteral("Doctorado"));
        const dw::DataWindowControl &card = window->card();
        long row = 1;
        while (row <= card.RowCount()
               && !card.GetItemString(row, QStringLiteral("tesis")).startsWith(thesis.first()))
            ++row;
        QVERIFY(row < card.RowCount());
        const QString next = card.GetItemString(row + 1, QStringLiteral("nombre")).section(u' ', 0, 0);
        const std::vector<PdfPage> pages = print(window, QStringLiteral("estudiantes.pdf"));
        const QString missing = missingWords(pages, thesisStem, thesis);
        QVERIFY2(missing.isEmpty(), qPrintable(missing));
        for (const PdfPage &page : pages) {
            const PdfWord text = boxOf(page, thesisStem);
            if (text.bottom < 0)
                continue;
            int below = 0;
            for (const PdfWord &word : page.words) {
                if (word.text != next || word.left > text.left)
                    continue;
                QVERIFY2(word.top >= text.bottom || word.bottom <= text.top, qPrintable(next));
                below += word.top >= text.bottom;
            }
            QVERIFY(below > 0);
        }
    }

    // A card whose values all fit is painted exactly as it is without growing.
    void cardThatFitsIsUnchanged_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<long>("id");
        QTest::newRow("committee") << 0 << sample::kCommittee;
        QTest::newRow("external") << 1 << sample::kExternal;
    }
    void cardThatFitsIsUnchanged()
    {
        QFETCH(int, kind);
        QFETCH(long, id);
        CardWindow *window = kind == 0 ? static_cast<CardWindow *>(rt::OpenWithParm(g_w_consulta, double(id)))
                                       : rt::OpenWithParm(g_w_consulta_externo, double(id));
        dw::DataWindowControl &card = window->card();
        QCOMPARE(card.RowCount(), 1L);
        QVERIFY(card.Describe(QStringLiteral("nombre.grow")) == u"yes");
        std::vector<QImage> grown;
        for (const double dpi : {96.0, 300.0})
            grown.push_back(paint(card.model(), 0, dpi));
        stopGrowing(card);
        QCOMPARE(card.Describe(QStringLiteral("nombre.grow")), QStringLiteral("no"));
        std::size_t i = 0;
        for (const double dpi : {96.0, 300.0}) {
            const QImage designed = paint(card.model(), 0, dpi);
            QVERIFY2(grown.at(i++) == designed, qPrintable(QString::number(dpi)));
        }
    }
};

QTEST_MAIN(CardGrowthTest)
#include "tst_cardgrowth.moc"

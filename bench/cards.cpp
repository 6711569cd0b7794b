// The students' card as a user meets it: opening the card window on a level of 10,000
// students until its first page is on the screen (retrieval, tutor look-ups, page layout,
// paint), the page preview alone on the retrieved rows, and the print button's path to a
// PDF of every page.

#include "bench.h"

#include "datawindowcontrol.h"
#include "db/transaction.h"
#include "globals.h"
#include "interaction.h"
#include "pagepreview.h"
#include "picture.h"
#include "w_consulta_estudiante.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>

#include <sqlite3.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr long kStudents = 10000;
const QString kLevel = u"Maestría"_s;

// Answers the printer selection with "confirmed" and refuses every other dialog, so the
// measurement never waits for a person.
class ConfirmingInteraction final : public dw::Interaction
{
public:
    ConfirmingInteraction() { dw::setInteraction(this); }
    ~ConfirmingInteraction() override { dw::setInteraction(nullptr); }
    ConfirmingInteraction(const ConfirmingInteraction &) = delete;
    ConfirmingInteraction &operator=(const ConfirmingInteraction &) = delete;

    QString printToFile; // the PDF file the printer selection chooses

    void messageBox(QWidget *, const QString &, const QString &) override {}
    int printerSetup(QWidget *, QPrinter &printer, bool) override
    {
        if (!printToFile.isEmpty())
            printer.setOutputFileName(printToFile);
        return 1;
    }
    std::optional<dw::SaveTarget> askSaveAs(QWidget *, const dw::SaveTarget &) override
    {
        return std::nullopt;
    }
    int sortDialog(QWidget *, const dw::DataWindow &, QString &) override { return 0; }
    int filterDialog(QWidget *, const dw::DataWindow &, QString &) override { return 0; }
    bool keyDown(int) override { return false; }
    QAction *popMenu(QMenu &, const QPoint &) override { return nullptr; }
};

// A copy of a generated directory where every member studies the same level, so that
// level's card lists all of them; their tutors stay the members' ids.
QString studentsOfOneLevel(const bench::Options &options)
{
    const QString sample = bench::sampleOf(options, kStudents);
    const QString copy = QDir(options.workDir).filePath(u"card_students.mdb"_s);
    QFile::remove(copy);
    if (sample.isEmpty() || !QFile::copy(QDir(sample).filePath(u"zemparol.mdb"_s), copy))
        return {};
    sqlite3 *raw = nullptr;
    sqlite3_open(QFile::encodeName(copy).constData(), &raw);
    const std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(raw, sqlite3_close);
    const QByteArray update
        = u"UPDATE directorio SET tipo_miembro_red = 'Miembro Estudiante', grado_academico = '%1'"_s
              .arg(kLevel)
              .toUtf8();
    if (!db || sqlite3_exec(db.get(), update.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        return {};
    dw::setPictureRoot(sample);
    return copy;
}

void cardOfStudents(const bench::Options &options)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        bench::report({u"op=card_students"_s, u"error=no_widget_application"_s});
        return;
    }
    const QString database = studentsOfOneLevel(options);
    if (database.isEmpty()) {
        bench::report({u"op=card_students"_s, u"error=no_sample"_s});
        return;
    }
    rt::CreateGlobals();
    dw::Transaction &sqlca = *rt::SQLCA();
    if (!bench::connectAccess(sqlca, database)) {
        bench::report({u"op=card_students"_s, u"error=no_connection"_s});
        rt::DestroyGlobals();
        return;
    }

    ConfirmingInteraction confirming;
    const QString pdf = QDir(options.workDir).filePath(u"card_students.pdf"_s);

    std::vector<double> firstPage;
    std::vector<double> previewOnly;
    std::vector<double> printing;
    long rows = 0;
    int pages = 0;
    for (int run = 0; run < options.repeats; ++run) {
        QElapsedTimer timer;
        timer.start();
        w_consulta_estudiante *window = rt::OpenWithParm(g_w_consulta_estudiante, kLevel);
        QApplication::processEvents();
        (void)window->card().grab(); // the first page, painted
        firstPage.push_back(double(timer.nsecsElapsed()) / 1e6);
        rows = window->card().RowCount();

        timer.restart();
        {
            dw::PagePreview preview(window->card().model());
            preview.resize(1100, 800);
            (void)preview.grab();
            previewOnly.push_back(double(timer.nsecsElapsed()) / 1e6);
            pages = preview.pageCount();
        }

        QFile::remove(pdf);
        confirming.printToFile = pdf;
        timer.restart();
        window->printCard();
        printing.push_back(double(timer.nsecsElapsed()) / 1e6);

        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    rt::DestroyGlobals();
    bench::report({u"op=card_students_first_page"_s, u"n=%1"_s.arg(rows),
                   u"ms=%1"_s.arg(bench::median(firstPage), 0, 'f', 1), u"target_ms=300"_s});
    bench::report({u"op=card_students_preview_first_page"_s, u"n=%1"_s.arg(rows), u"pages=%1"_s.arg(pages),
                   u"ms=%1"_s.arg(bench::median(previewOnly), 0, 'f', 1)});
    bench::report({u"op=card_students_pdf"_s, u"n=%1"_s.arg(rows), u"pages=%1"_s.arg(pages),
                   u"ms=%1"_s.arg(bench::median(printing), 0, 'f', 1), u"target_ms=5000"_s,
                   u"bytes=%1"_s.arg(QFileInfo(pdf).size())});
}

const bench::BenchRegistrar registrar("card_students", cardOfStudents);

} // namespace

// The real message boxes of a failed search, a failed card, a missing connection and a
// statement stopped by its time limit: each one closes with Esc, Return or its button, as
// the keys and the click arrive through the application's event dispatch, and the next
// search runs. No replaceable interaction here: these are the boxes the user sees.

#include "application.h"
#include "datawindowcontrol.h"
#include "db/transaction.h"
#include "dw_listado.h"
#include "globals.h"
#include "n_svc_dw_gridstyle.h"
#include "picture.h"
#include "runtime.h"
#include "settings/settingsstore.h"
#include "support/rowpoint.h"
#include "support/sample.h"
#include "support/viewdirectory.h"
#include "w_busqueda.h"
#include "w_consulta.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

class TestApplication : public rt::Application
{
};

enum class Answer { Escape, Return, Button };

// Answers every message box that opens while it exists the way a user would: Esc, Return
// or a click on its button. A box still open two seconds after its answer is closed by
// force and counted, so a box that cannot be answered fails the test instead of hanging it.
class BoxAnswerer final : public QObject
{
public:
    explicit BoxAnswerer(Answer answer) : m_answer(answer)
    {
        m_timer.callOnTimeout(this, &BoxAnswerer::look);
        m_timer.start(20);
    }

    QStringList boxes; // "title | text" of each box answered
    QStringList details; // the details of each message box answered
    int tallest = 0; // pixels
    int unanswerable = 0;

private:
    void look()
    {
        auto *box = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!box)
            return;
        if (box != m_answered) {
            m_answered = box;
            m_clock.start();
            const auto *message = qobject_cast<QMessageBox *>(box);
            boxes.append(box->windowTitle() + u" | "_s + (message ? message->text() : QString()));
            details.append(message ? message->detailedText() : QString());
            tallest = std::max({tallest, box->height(), box->sizeHint().height()});
            answer(*box);
        } else if (m_clock.elapsed() > 2000) {
            ++unanswerable;
            box->done(0);
        }
    }

    void answer(QDialog &box) const
    {
        switch (m_answer) {
        case Answer::Escape:
            QTest::keyClick(&box, Qt::Key_Escape);
            break;
        case Answer::Return:
            QTest::keyClick(&box, Qt::Key_Return);
            break;
        case Answer::Button:
            if (auto *message = qobject_cast<QMessageBox *>(&box))
                QTest::mouseClick(message->button(QMessageBox::Ok), Qt::LeftButton);
            break;
        }
    }

    Answer m_answer;
    QTimer m_timer;
    QPointer<QDialog> m_answered;
    QElapsedTimer m_clock;
};

} // namespace

class TstErrorBoxes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void boxesClose_data();
    void failedSearch();
    void failedSearch_data() { boxesClose_data(); }
    void failedCard();
    void failedCard_data() { boxesClose_data(); }
    void noConnection();
    void noConnection_data() { boxesClose_data(); }
    void statementLimit();
    void statementLimit_data() { boxesClose_data(); }
    void saveAndPrintDialogs();
    void longTextsFitTheScreen();

private:
    void search(const QString &text);
    void connectTo(const QString &file);
    // A search for everybody lists every member, without a box.
    void nextSearchRuns();

    QTemporaryDir m_folder;
    TestApplication m_application;
    QPointer<w_busqueda> m_window;
    QString m_database;
};

void TstErrorBoxes::initTestCase()
{
    QVERIFY(m_folder.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_folder.filePath(u"config"_s));
    m_application.appname = u"zemparol"_s;
    rt::CreateGlobals();
    const QString sample = testsupport::sampleDirectory();
    QVERIFY(!sample.isEmpty());
    dw::setPictureRoot(sample);
    m_database = testsupport::directoryWithView(m_folder.filePath(u"zemparol.mdb"_s),
                                                u"CREATE VIEW directorio AS SELECT * FROM miembros"_s);
    QVERIFY(!m_database.isEmpty());
}

void TstErrorBoxes::boxesClose_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("Esc") << int(Answer::Escape);
    QTest::newRow("Return") << int(Answer::Return);
    QTest::newRow("button") << int(Answer::Button);
}

void TstErrorBoxes::init()
{
    connectTo(m_database);
    m_window = new w_busqueda();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void TstErrorBoxes::cleanup()
{
    delete m_window;
    delete g_w_consulta;
    QFile::rename(m_database + u".lejos"_s, m_database);
}

void TstErrorBoxes::cleanupTestCase()
{
    rt::DestroyGlobals();
}

void TstErrorBoxes::connectTo(const QString &file)
{
    QVERIFY2(testsupport::connectAccess(*rt::SQLCA(), file), qPrintable(rt::SQLCA()->SQLErrText));
}

void TstErrorBoxes::search(const QString &text)
{
    m_window->sle_filtro->setText(text);
    QTest::mouseClick(m_window->cb_buscar, Qt::LeftButton);
}

void TstErrorBoxes::nextSearchRuns()
{
    BoxAnswerer none(Answer::Escape);
    search(QString());
    QVERIFY(none.boxes.isEmpty());
    QVERIFY(m_window->dw_listado->RowCount() >= 17);
    QCOMPARE(m_window->st_cuenta->text(), u"%1 miembros"_s.arg(m_window->dw_listado->RowCount()));
}

void TstErrorBoxes::failedSearch()
{
    QFETCH(int, answer);
    search(QString());
    const long members = m_window->dw_listado->RowCount();
    QVERIFY(members >= 17);

    QVERIFY(QFile::rename(m_database, m_database + u".lejos"_s));
    {
        BoxAnswerer answerer{Answer(answer)};
        search(u"peña"_s);
        QCOMPARE(answerer.boxes.size(), 1);
        QVERIFY2(
            answerer.boxes.at(0).startsWith(u"Error de base de datos | 1003: No se encuentra el archivo"_s),
            qPrintable(answerer.boxes.at(0)));
        QCOMPARE(answerer.unanswerable, 0);
    }
    QCOMPARE(m_window->dw_listado->RowCount(), members);
    QVERIFY(QFile::rename(m_database + u".lejos"_s, m_database));
    nextSearchRuns();
}

void TstErrorBoxes::failedCard()
{
    QFETCH(int, answer);
    search(QString());
    search::dw_listado &grid = *m_window->dw_listado;
    long row = 1;
    while (row <= grid.RowCount()
           && grid.GetItemString(row, u"tipo_miembro_red"_s) != u"Miembro Investigador"_s)
        ++row;
    QVERIFY(row <= grid.RowCount());
    grid.ScrollToRow(row);
    const QPoint point = testsupport::pointOfRow(grid, row, 2);
    QVERIFY(point.y() >= 0);

    QVERIFY(QFile::rename(m_database, m_database + u".lejos"_s));
    {
        BoxAnswerer answerer{Answer(answer)};
        QTest::mouseDClick(m_window->windowHandle(), Qt::LeftButton, {}, grid.mapTo(m_window, point));
        QCOMPARE(answerer.boxes.size(), 1);
        QVERIFY(answerer.boxes.at(0).contains(u"No se encuentra el archivo"_s));
        QCOMPARE(answerer.unanswerable, 0);
    }
    QVERIFY(g_w_consulta);
    QCOMPARE(g_w_consulta->findChild<dw::DataWindowControl *>()->RowCount(), 0L);
    delete g_w_consulta;
    QVERIFY(QFile::rename(m_database + u".lejos"_s, m_database));
    nextSearchRuns();
}

void TstErrorBoxes::noConnection()
{
    QFETCH(int, answer);
    dw::DataWindowControl control;
    control.setDataObject(u"dw_listado_grid"_s);
    control.show();
    {
        BoxAnswerer answerer{Answer(answer)};
        QCOMPARE(control.Retrieve(), -1L);
        QCOMPARE(answerer.boxes,
                 QStringList{u"Error de base de datos | -1: No hay conexión con la base de datos."_s});
        QCOMPARE(answerer.unanswerable, 0);
    }
    nextSearchRuns();
}

void TstErrorBoxes::statementLimit()
{
    QFETCH(int, answer);
    const dw::SettingsStore settings = dw::SettingsStore::program();
    QVERIFY(settings.setText(u"Consultas/SegundosMaximos"_s, u"1"_s));
    const QString endless = testsupport::directoryWithView(
        m_folder.filePath(u"endless.mdb"_s),
        u"CREATE VIEW directorio AS SELECT * FROM miembros WHERE (WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
        "SELECT i + 1 FROM n) SELECT count(*) FROM n) > 0"_s);
    QVERIFY(!endless.isEmpty());
    connectTo(endless);
    QVERIFY(settings.setText(u"Consultas/SegundosMaximos"_s, u"30"_s));
    {
        BoxAnswerer answerer{Answer(answer)};
        search(QString());
        QCOMPARE(answerer.boxes.size(), 1);
        QVERIFY2(
            answerer.boxes.at(0).startsWith(u"Error de base de datos | 1011: La consulta se detuvo: pasó "
                                            "del límite de 1 segundo de las consultas."_s),
            qPrintable(answerer.boxes.at(0)));
        QCOMPARE(answerer.unanswerable, 0);
    }
    connectTo(m_database);
    nextSearchRuns();
}

// The listing's own dialogs: the file chooser of "Guardar Como..." closes with Esc and saves
// nothing; "Imprimir" where no printer dialog can open says so in a box that closes.
void TstErrorBoxes::saveAndPrintDialogs()
{
    search(QString());
    n_svc_dw_gridstyle &style = *m_window->dw_listado->isrv_gridstyle();
    {
        BoxAnswerer answerer{Answer::Escape};
        style.of_process_popup(u"m_saveas"_s, 1, u"nombre"_s);
        QCOMPARE(answerer.boxes, QStringList{u"Guardar Como | "_s});
        QCOMPARE(answerer.unanswerable, 0);
    }
    {
        BoxAnswerer answerer{Answer::Return};
        style.of_process_popup(u"m_print"_s, 1, u"nombre"_s);
        QCOMPARE(answerer.boxes.size(), 1);
        QVERIFY(answerer.boxes.at(0).contains(u"No se pudo imprimir."_s));
        QCOMPARE(answerer.unanswerable, 0);
    }
    nextSearchRuns();
}

// A database path of some 4,000 characters and an error of a thousand lines: the box fits the
// screen, says the start and the end of each, and keeps the whole text in its details.
void TstErrorBoxes::longTextsFitTheScreen()
{
    const QString deep = u"/"_s + QStringList(202, u"carpeta-de-la-red"_s).join(u'/') + u"/zemparol.mdb"_s;
    QVERIFY(deep.size() > 3600);
    const QString longPath = u"1003: No se encuentra el archivo de base de datos «%1»."_s.arg(deep);
    QStringList lines;
    for (int i = 1; i <= 1000; ++i)
        lines.append(u"línea %1"_s.arg(i));
    const int screen = QGuiApplication::primaryScreen()->availableGeometry().height();
    for (const QString &text : {longPath, lines.join(u'\n')}) {
        BoxAnswerer answerer{Answer::Escape};
        rt::MessageBox(u"Error de base de datos"_s, text, m_window);
        QCOMPARE(answerer.boxes.size(), 1);
        QCOMPARE(answerer.details.value(0), text);
        QVERIFY2(answerer.tallest < screen, qPrintable(QString::number(answerer.tallest)));
        const QString shown = answerer.boxes.at(0);
        QVERIFY(shown.contains(text.left(40)) && shown.contains(text.right(20)) && shown.contains(u'…'));
    }
}

QTEST_MAIN(TstErrorBoxes)
#include "tst_errorboxes.moc"

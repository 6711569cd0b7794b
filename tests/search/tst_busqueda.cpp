// The search window used as a user would: typing, choosing a field, pressing the button
// or Enter, clicking and double-clicking the listing. Results are checked against the
// database itself, read directly through the connection.

#include "application.h"
#include "db/transaction.h"
#include "dw_listado.h"
#include "globals.h"
#include "message.h"
#include "n_svc_dw_selectrow.h"
#include "picture.h"
#include "searchcondition.h"
#include "sql/selectdefinition.h"
#include "support/fakeinteraction.h"
#include "support/rowpoint.h"
#include "support/sample.h"
#include "support/statementlog.h"
#include "w_busqueda.h"
#include "w_consulta.h"
#include "w_consulta_estudiante.h"
#include "w_consulta_externo.h"

#include <QCheckBox>
#include <QCollator>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

class TestApplication : public rt::Application
{
};

// One member as the database holds it (null stays null).
struct Member
{
    QString nombre;
    QString tipo;
    QString grado;
    QString sni;
    QString institucion;
    QString enzimas;
    QString estudiates;
    QString todo;
};
using Members = std::map<long, Member>;
using Ids = QList<long>;

// What the like of the condition matches: both sides upper case, % any run, _ one character.
bool likeContains(const QString &value, const QString &typed)
{
    if (value.isNull())
        return false;
    QString pattern;
    for (const QChar c : typed.toUpper()) {
        if (c == u'%')
            pattern += u".*"_s;
        else if (c == u'_')
            pattern += u'.';
        else
            pattern += QRegularExpression::escape(QString(c));
    }
    const QRegularExpression expression(u"\\A.*"_s + pattern + u".*\\z"_s,
                                        QRegularExpression::DotMatchesEverythingOption);
    return expression.match(value.toUpper()).hasMatch();
}

template <class Pick> Ids matching(const Members &members, Pick pick)
{
    Ids ids;
    for (const auto &[id, member] : members) {
        if (pick(member))
            ids.append(id);
    }
    return ids;
}

} // namespace

class TstBusqueda : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void controlsAsDesigned();
    void checkBoxOnlyEnablesTheFieldList();
    void nothingRetrievedBeforeTheFirstSearch();
    void searches_data();
    void searches();
    void enterSearches();
    void rememberedSortOrdersTheResults();
    void doubleClickOpensTheMembersCard_data();
    void doubleClickOpensTheMembersCard();
    void clicksSelectRowsKeysDoNot();

private:
    void useDatabase(const QString &file);
    // The generated sample directory's database or the Access fixture.
    [[nodiscard]] QString databaseFile(const QString &name) const;
    void addDatabaseColumn();
    [[nodiscard]] Members readMembers() const;
    // Types into the controls and presses the button: anyField keeps the check box
    // checked; otherwise the field at `item` (-1 none) is chosen with the keyboard.
    void search(bool anyField, int item, const QString &text);
    void setChecked(bool checked);
    void chooseItem(int item);
    [[nodiscard]] Ids listedIds() const;
    [[nodiscard]] QPoint pointOfRow(long row) const;
    void clickRow(long row, Qt::KeyboardModifiers modifiers = {});
    void doubleClickRow(long row);
    [[nodiscard]] long rowOfId(long id) const;

    QTemporaryDir m_config;
    std::unique_ptr<FakeInteraction> m_fake;
    TestApplication m_application;
    QString m_sample;
    QString m_database; // the file SQLCA is connected to
    Members m_members;
    QPointer<w_busqueda> m_window;
    testsupport::StatementLog m_sent; // before the first connection
};

void TstBusqueda::initTestCase()
{
    QVERIFY(m_config.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config.path());
    m_fake = std::make_unique<FakeInteraction>();
    m_application.appname = u"zemparol"_s;
    rt::CreateGlobals();
    m_sample = testsupport::sampleDirectory();
    QVERIFY(!m_sample.isEmpty());
    dw::setPictureRoot(m_sample);
    useDatabase(m_sample + u"/zemparol.mdb"_s);
}

void TstBusqueda::useDatabase(const QString &file)
{
    if (file == m_database)
        return;
    m_database.clear();
    QVERIFY2(QFileInfo::exists(file), qPrintable(file));
    QVERIFY2(testsupport::connectAccess(*rt::SQLCA(), file), qPrintable(rt::SQLCA()->SQLErrText));
    m_database = file;
    m_members = readMembers();
    QVERIFY(m_members.size() >= 17);
    m_sent.clear(); // the test's own reading is not a search
}

QString TstBusqueda::databaseFile(const QString &name) const
{
    return name == u"fixture"_s ? testsupport::fixturesDirectory() + u"/zemparol_jet4.mdb"_s
                                : m_sample + u"/zemparol.mdb"_s;
}

Members TstBusqueda::readMembers() const
{
    Members members;
    dw::DbError error;
    auto cursor = rt::SQLCA()->connection()->query(
        u"select id, nombre, tipo_miembro_red, grado_academico, nivel_sni, institucion, enzimas, "
        "estudiates, todo from directorio"_s,
        {}, error);
    if (!cursor)
        return members;
    const auto text = [&cursor](int column) {
        if (cursor->kind(column) == dw::CellKind::Null)
            return QString();
        const std::string_view bytes = cursor->utf8(column);
        return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    };
    while (cursor->next()) {
        members[long(cursor->integer(0))]
            = {text(1), text(2), text(3), text(4), text(5), text(6), text(7), text(8)};
    }
    return members;
}

void TstBusqueda::init()
{
    m_sent.clear();
    m_window = new w_busqueda();
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void TstBusqueda::cleanup()
{
    delete m_window;
    for (QWidget *card :
         std::initializer_list<QWidget *>{g_w_consulta, g_w_consulta_estudiante, g_w_consulta_externo}) {
        delete card;
    }
}

void TstBusqueda::cleanupTestCase()
{
    rt::DestroyGlobals();
    m_fake.reset();
}

void TstBusqueda::controlsAsDesigned()
{
    w_busqueda &w = *m_window;
    QCOMPARE(w.windowTitle(), u"Consulta de Directorio"_s);
    QCOMPARE(w.st_4->text(), u"Click en los encabezados para ordenar de manera ascendente o descendente"_s);
    QCOMPARE(w.st_3->text(), u" Las búsquedas son posibles por palabra o por una parte de la misma "_s);
    QCOMPARE(w.st_2->text(), u"Doble click en el registro para abrir la ficha"_s);
    QCOMPARE(w.st_1->text(), u"Seleccione el campo a buscar"_s);
    QCOMPARE(w.cbx_cualquiera->text(), u"Buscar por cualquier campo  "_s);
    QCOMPARE(w.gb_1->title(), u"Desmarcar para seleccionar campo"_s);
    QCOMPARE(w.cb_buscar->text(), u"Buscar"_s);
    QCOMPARE(w.st_4->font().family(), u"Tahoma"_s);
    QCOMPARE(w.st_4->font().pointSize(), 10);
    QCOMPARE(w.st_4->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    QVERIFY(!w.p_1->pixmap().isNull());
    QCOMPARE(w.dw_listado->dataobject(), u"dw_listado_grid"_s);

    QVERIFY(w.cbx_cualquiera->isChecked());
    QVERIFY(!w.ddlb_elemento->isEnabled());
    QCOMPARE(w.ddlb_elemento->currentText(), u""_s);
    QStringList items;
    for (int i = 0; i < w.ddlb_elemento->count(); ++i)
        items.append(w.ddlb_elemento->itemText(i));
    QCOMPARE(
        items,
        (QStringList{u"Nombre"_s, u"Grado académico"_s, u"Especialidad"_s, u"SNI"_s, u"Institución"_s,
                     u"Entidad Federativa"_s, u"e-mail"_s, u"Área de aplicación"_s, u"Subprograma Red"_s,
                     u"Proyectos"_s, u"Enzimas"_s, u"Tipo de Miembro"_s, u"Título de Tesis"_s, u"Empresa"_s,
                     u"Razón Social"_s, u"Tipo de Vinculación"_s, u"Instituciones Vinculación"_s}));
    QCOMPARE(w.sle_filtro->text(), u""_s);

    // Focus starts in the edit field and Tab walks the designed order (the disabled
    // drop-down is skipped).
    QTRY_COMPARE(QApplication::focusWidget(), w.sle_filtro);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w.cbx_cualquiera);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w.cb_buscar);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget() == w.dw_listado
            || w.dw_listado->isAncestorOf(QApplication::focusWidget()));
}

void TstBusqueda::checkBoxOnlyEnablesTheFieldList()
{
    setChecked(false);
    QVERIFY(m_window->ddlb_elemento->isEnabled());
    chooseItem(4);
    QCOMPARE(m_window->ddlb_elemento->currentText(), u"Institución"_s);
    setChecked(true);
    QVERIFY(!m_window->ddlb_elemento->isEnabled());
    QCOMPARE(m_window->ddlb_elemento->currentText(), u"Institución"_s);
    setChecked(false);
    QVERIFY(m_window->ddlb_elemento->isEnabled());
    QCOMPARE(m_window->ddlb_elemento->currentText(), u"Institución"_s);
}

void TstBusqueda::nothingRetrievedBeforeTheFirstSearch()
{
    QCOMPARE(m_window->dw_listado->RowCount(), 0L);
    QCOMPARE(m_sent.searches().size(), 0);
    QVERIFY(m_window->dw_listado->isrv_gridstyle());
    QCOMPARE(m_window->dw_listado->isrv_select()->is_style, u"extend"_s);
}

void TstBusqueda::searches_data()
{
    QTest::addColumn<QString>("database");
    QTest::addColumn<bool>("anyField");
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("condition");

    for (const QString &database : {u"sample"_s, u"fixture"_s}) {
        const auto row = [&database](const char *name) -> QTestData & {
            return QTest::newRow(qPrintable(database + u": "_s + QString::fromLatin1(name))) << database;
        };
        row("any field") << true << -1 << u"ana"_s << u" where ucase(todo) like '%ANA%'"_s;
        row("any field, empty text") << true << -1 << u""_s << u""_s;
        row("one field") << false << 4 << u"uni"_s << u" where ucase( institucion ) like '%UNI%'"_s;
        row("SNI with empty text") << false << 3 << u""_s << u" where ucase( nivel_sni ) like '%%'"_s;
        row("no field chosen") << false << -1 << u"ana"_s << u""_s;
        row("leading blank") << false << 0 << u" o'f"_s << u" where ucase( nombre ) like '% O''F%'"_s;
        row("quote") << false << 0 << u"o'farrill"_s << u" where ucase( nombre ) like '%O''FARRILL%'"_s;
        row("percent sign") << true << -1 << u"o%farrill"_s << u" where ucase(todo) like '%O%FARRILL%'"_s;
        row("Enzimas") << false << 10 << u"asa"_s << u" where ucase( enzimas ) like '%ASA%'"_s;
        // A text box's text ends at a NUL: what follows never reaches the statement.
        row("NUL ends the text") << true << -1 << u"ana\0' or 1=1 --"_s
                                 << u" where ucase(todo) like '%ANA%'"_s;
        row("NUL first") << false << 0 << u"\0x"_s << u" where ucase( nombre ) like '%%'"_s;
    }
}

void TstBusqueda::searches()
{
    QFETCH(QString, database);
    useDatabase(databaseFile(database));
    if (QTest::currentTestFailed())
        return;
    QFETCH(bool, anyField);
    QFETCH(int, item);
    QFETCH(QString, text);
    QFETCH(QString, condition);

    search(anyField, item, text);
    text.truncate(text.indexOf(QChar()) < 0 ? text.size() : text.indexOf(QChar()));
    QCOMPARE(m_sent.searches().size(), 1);
    const QString sent = m_sent.searches().at(0);
    QVERIFY2(sent.startsWith(u"SELECT"_s, Qt::CaseInsensitive), qPrintable(sent));
    // The window writes the condition in the Access dialect; the database receives it
    // translated for its own.
    const QString head = u"SELECT id FROM "_s;
    const auto translated = dw::translateSelect(head + u"directorio"_s + condition, {}, dw::Dialect::SQLite);
    QVERIFY(translated);
    QVERIFY2(sent.endsWith(translated->sql.mid(head.size())), qPrintable(sent));

    // What the database answered, against the members read directly.
    Ids expected;
    const QString column = item >= 0 ? search::fieldCaptions().at(item) : QString();
    if (anyField)
        expected = text.isEmpty()
            ? matching(m_members, [](const Member &) { return true; })
            : matching(m_members, [&](const Member &m) { return likeContains(m.todo, text); });
    else if (column == u"Nombre"_s)
        expected = matching(m_members, [&](const Member &m) { return likeContains(m.nombre, text); });
    else if (column == u"Institución"_s)
        expected = matching(m_members, [&](const Member &m) { return likeContains(m.institucion, text); });
    else if (column == u"SNI"_s)
        expected = matching(m_members, [&](const Member &m) { return likeContains(m.sni, text); });
    else if (column == u"Enzimas"_s)
        expected = matching(m_members, [&](const Member &m) { return likeContains(m.enzimas, text); });
    else
        expected = matching(m_members, [](const Member &) { return true; });
    Ids listed = listedIds();
    std::sort(listed.begin(), listed.end());
    QCOMPARE(listed, expected);

    const QString tag = QString::fromLatin1(QTest::currentDataTag()).section(u": "_s, 1);
    if (tag == u"SNI with empty text"_s) {
        // Members without a level are the ones left out.
        QVERIFY(!listed.contains(11));
        QVERIFY(listed.size() < qsizetype(m_members.size()));
    }
    if (tag == u"quote"_s || tag == u"percent sign"_s || tag == u"leading blank"_s)
        QVERIFY(!listed.isEmpty());
    if (database == u"sample"_s && tag != u"SNI with empty text"_s && tag != u"one field"_s
        && tag != u"any field"_s && tag != u"Enzimas"_s) {
        // "Patricio O'Farrill Baeza": a blank stands before O'F, and every search here finds him.
        QVERIFY(listed.contains(testsupport::sample::kApostrophe));
    }
    if (tag == u"Enzimas"_s) {
        // The students' text is not what this field searches.
        const Ids byStudents = matching(m_members, [&](const Member &m) {
            return likeContains(m.estudiates, text) && !likeContains(m.enzimas, text);
        });
        for (long id : byStudents)
            QVERIFY(!listed.contains(id));
    }
}

void TstBusqueda::enterSearches()
{
    useDatabase(databaseFile(u"sample"_s));
    QTest::keyClicks(m_window->sle_filtro, u"farrill"_s);
    QTest::keyClick(m_window->sle_filtro, Qt::Key_Return);
    QCOMPARE(m_sent.searches().size(), 1);
    QCOMPARE(listedIds(), Ids{testsupport::sample::kApostrophe});
    // The keypad's Enter, and Enter on the check box, search as well.
    QTest::keyClick(m_window->sle_filtro, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(m_sent.searches().size(), 2);
    m_window->cbx_cualquiera->setFocus();
    QTest::keyClick(m_window->cbx_cualquiera, Qt::Key_Return);
    QCOMPARE(m_sent.searches().size(), 3);
}

void TstBusqueda::rememberedSortOrdersTheResults()
{
    // A sort remembered by an earlier session is set when the window opens.
    delete m_window;
    QSettings(u"Calvexa"_s, u"Zemparol"_s).setValue(u"GridStyle/dw_listado_grid/sortorder"_s, u"nombre D"_s);
    init();
    useDatabase(databaseFile(u"sample"_s));
    const search::dw_listado &grid = *m_window->dw_listado;
    // The indicators of the remembered sort are there before the first search.
    QCOMPARE(grid.RowCount(), 0L);
    QCOMPARE(grid.Describe(u"DataWindow.Table.Sort"_s), u"nombre D"_s);
    QVERIFY(grid.Describe(u"nombre_arrow.name"_s) != u"!"_s);
    QVERIFY(grid.Describe(u"nombre_shade.name"_s) != u"!"_s);
    search(true, -1, QString());
    QCOMPARE(grid.RowCount(), long(m_members.size()));
    QCollator collator{QLocale(QLocale::Spanish, QLocale::Mexico)};
    for (long row = 2; row <= grid.RowCount(); ++row) {
        QVERIFY2(
            collator.compare(grid.GetItemString(row - 1, u"nombre"_s), grid.GetItemString(row, u"nombre"_s))
                >= 0,
            qPrintable(grid.GetItemString(row, u"nombre"_s)));
    }
    QVERIFY(grid.Describe(u"nombre_arrow.name"_s) != u"!"_s);
    QVERIFY(grid.Describe(u"nombre_shade.name"_s) != u"!"_s);
    QSettings(u"Calvexa"_s, u"Zemparol"_s).remove(u"GridStyle"_s);
}

void TstBusqueda::doubleClickOpensTheMembersCard_data()
{
    QTest::addColumn<QString>("database");
    QTest::newRow("sample") << u"sample"_s;
    QTest::newRow("fixture") << u"fixture"_s;
}

void TstBusqueda::doubleClickOpensTheMembersCard()
{
    QFETCH(QString, database);
    useDatabase(databaseFile(database));
    if (QTest::currentTestFailed())
        return;
    search(true, -1, QString());
    const auto firstOfType = [this](const QString &type) {
        for (const auto &[id, member] : m_members) {
            if (member.tipo == type)
                return id;
        }
        return 0L;
    };

    for (const QString &type : {u"Miembro Investigador"_s, u"Miembro del CTA"_s}) {
        const long id = firstOfType(type);
        QVERIFY2(id > 0, qPrintable(type));
        doubleClickRow(rowOfId(id));
        QVERIFY(g_w_consulta);
        QVERIFY(rt::Message().hasDouble);
        QCOMPARE(rt::Message().DoubleParm, double(id));
        delete g_w_consulta;
    }

    const long external = firstOfType(u"Miembro Externo"_s);
    QVERIFY(external > 0);
    doubleClickRow(rowOfId(external));
    QVERIFY(g_w_consulta_externo);
    QVERIFY(!g_w_consulta);
    QCOMPARE(rt::Message().DoubleParm, double(external));
    delete g_w_consulta_externo;

    const long student = firstOfType(u"Miembro Estudiante"_s);
    QVERIFY(student > 0);
    doubleClickRow(rowOfId(student));
    QVERIFY(g_w_consulta_estudiante);
    QVERIFY(rt::Message().hasString);
    QCOMPARE(rt::Message().StringParm, m_members.at(student).grado);
    delete g_w_consulta_estudiante;

    // A type that differs in blanks, a null type and the header open nothing.
    const long trailingBlank = firstOfType(u"Miembro Investigador "_s);
    const long nullType = firstOfType(QString());
    QVERIFY(trailingBlank > 0 && nullType > 0);
    QVERIFY(m_members.at(nullType).tipo.isNull());
    for (long row : {rowOfId(trailingBlank), rowOfId(nullType), 0L}) {
        doubleClickRow(row);
        QVERIFY(!g_w_consulta);
        QVERIFY(!g_w_consulta_externo);
        QVERIFY(!g_w_consulta_estudiante);
    }
}

void TstBusqueda::clicksSelectRowsKeysDoNot()
{
    useDatabase(databaseFile(u"sample"_s));
    search(true, -1, QString());
    const search::dw_listado &grid = *m_window->dw_listado;
    const auto selected = [&grid] {
        Ids rows;
        for (long row = 1; row <= grid.RowCount(); ++row) {
            if (grid.IsSelected(row))
                rows.append(row);
        }
        return rows;
    };
    // Nothing is selected by the search itself, not even by the focus on row 1.
    QCOMPARE(selected(), Ids{});
    clickRow(2);
    QCOMPARE(selected(), Ids{2});
    clickRow(5, Qt::ShiftModifier);
    QCOMPARE(selected(), (Ids{2, 3, 4, 5}));
    clickRow(3, Qt::ControlModifier);
    QCOMPARE(selected(), (Ids{2, 4, 5}));
    clickRow(6, Qt::ShiftModifier);
    QCOMPARE(selected(), (Ids{2, 3, 4, 5, 6}));
    QTest::keyClick(m_window->dw_listado, Qt::Key_Down);
    QTest::keyClick(m_window->dw_listado, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(selected(), (Ids{2, 3, 4, 5, 6}));
    QCOMPARE(m_window->dw_listado->GetRow(), 8L);
}

void TstBusqueda::search(bool anyField, int item, const QString &text)
{
    setChecked(anyField);
    if (!anyField)
        chooseItem(item);
    QLineEdit *edit = m_window->sle_filtro;
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    if (text.contains(QChar()))
        edit->insert(text); // no key types a NUL; pasted text can bring one
    else
        QTest::keyClicks(edit, text);
    QCOMPARE(edit->text(), text);
    m_sent.clear();
    QTest::mouseClick(m_window->cb_buscar, Qt::LeftButton);
}

void TstBusqueda::setChecked(bool checked)
{
    if (m_window->cbx_cualquiera->isChecked() != checked)
        QTest::mouseClick(m_window->cbx_cualquiera, Qt::LeftButton, {},
                          QPoint(8, m_window->cbx_cualquiera->height() / 2));
    QCOMPARE(m_window->cbx_cualquiera->isChecked(), checked);
}

void TstBusqueda::chooseItem(int item)
{
    QComboBox *list = m_window->ddlb_elemento;
    if (item < 0) {
        QCOMPARE(list->currentIndex(), -1);
        return;
    }
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Home);
    if (list->currentIndex() < 0)
        QTest::keyClick(list, Qt::Key_Down);
    while (list->currentIndex() < item)
        QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(list->currentIndex(), item);
}

Ids TstBusqueda::listedIds() const
{
    Ids ids;
    const search::dw_listado &grid = *m_window->dw_listado;
    for (long row = 1; row <= grid.RowCount(); ++row)
        ids.append(long(grid.GetItemNumber(row, u"id"_s).value_or(-1)));
    return ids;
}

long TstBusqueda::rowOfId(long id) const
{
    return long(listedIds().indexOf(id)) + 1;
}

QPoint TstBusqueda::pointOfRow(long row) const
{
    search::dw_listado &grid = *m_window->dw_listado;
    grid.ScrollToRow(row);
    return testsupport::pointOfRow(grid, row, 2);
}

void TstBusqueda::clickRow(long row, Qt::KeyboardModifiers modifiers)
{
    const QPoint point = pointOfRow(row);
    QVERIFY(point.y() >= 0);
    m_fake->ctrl = modifiers.testFlag(Qt::ControlModifier);
    m_fake->shift = modifiers.testFlag(Qt::ShiftModifier);
    QWidget *canvas = m_window->dw_listado->childAt(point);
    QVERIFY(canvas);
    QTest::mouseClick(canvas, Qt::LeftButton, modifiers, canvas->mapFrom(m_window->dw_listado, point));
    m_fake->ctrl = m_fake->shift = false;
}

void TstBusqueda::doubleClickRow(long row)
{
    QVERIFY(row >= 0);
    const QPoint point = pointOfRow(row);
    QVERIFY(point.y() >= 0);
    // Through the window system, as a user's double click arrives: press, release, then
    // the second press reported as a double click.
    QTest::mouseDClick(m_window->windowHandle(), Qt::LeftButton, {},
                       m_window->dw_listado->mapTo(m_window, point));
}

QTEST_MAIN(TstBusqueda)
#include "tst_busqueda.moc"

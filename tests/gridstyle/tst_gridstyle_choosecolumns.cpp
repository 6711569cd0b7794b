// The column chooser of the listing's menu on an offscreen grid of the sample directory:
// hidden columns stay hidden at the next start, are left out of printing and copying but
// not out of a saved file, and "Restablecer" brings the designed columns back.

#include "columnorder.h"
#include "gridstylefixture.h"
#include "support/fakeinteraction.h"
#include "support/pdfwords.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using gridtest::Grid;

namespace {

const QString kColumns = u"Columnas…"_s;

// Each visible column as "name x width", left to right.
QStringList placed(const u_dw &control)
{
    QStringList columns;
    for (const dw::GridColumn &column : dw::visibleColumns(control.model()))
        columns.append(u"%1 %2 %3"_s.arg(column.name).arg(column.x).arg(column.width));
    return columns;
}

// The designed columns but those named.
QStringList allBut(const QStringList &left_out)
{
    const QStringList designed{u"nombre"_s,          u"tipo_miembro_red"_s,
                               u"grado_academico"_s, u"especialidad"_s,
                               u"nivel_sni"_s,       u"institucion"_s,
                               u"entidad_fed"_s,     u"email"_s,
                               u"cargo"_s,           u"linea_investigacion"_s,
                               u"area_aplicacion"_s, u"subprograma_red"_s,
                               u"proyectos"_s,       u"enzimas"_s};
    QStringList names;
    for (const QString &name : designed) {
        if (!left_out.contains(name))
            names.append(name);
    }
    return names;
}

} // namespace

class TstGridStyleChooseColumns : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void hiddenColumnsStayHiddenAtTheNextStart();
    void storedHiddenColumnsAreRead_data();
    void storedHiddenColumnsAreRead();
    void theLastColumnStays();
    void hiddenColumnsLeavePrintAndCopyNotSave();
    void resetBringsTheDesignBack();

private:
    // Right-clicks a cell and chooses "Columnas…", answered by the fake as set up.
    void chooseColumns(Grid &grid);
    // What the user has stored for the listing's columns.
    QString stored(const QString &entry);

    std::unique_ptr<FakeInteraction> m_fake;
    QTemporaryDir m_temp;
};

void TstGridStyleChooseColumns::initTestCase()
{
    m_fake = std::make_unique<FakeInteraction>();
    rt::CreateGlobals();
    QVERIFY(testsupport::connectSample(*rt::SQLCA()));
    QVERIFY(m_temp.isValid());
}

void TstGridStyleChooseColumns::init()
{
    auto grid = gridtest::makeGrid(false, false);
    QVERIFY(grid);
    for (const QString &entry : {u"sortorder"_s, u"columnwidths"_s, u"columnorder"_s, u"hiddencolumns"_s})
        grid->service().of_setreg(entry, QString());
    m_fake->columnsAnswer = dw::ColumnsAnswer::Cancelled;
}

void TstGridStyleChooseColumns::cleanupTestCase()
{
    rt::DestroyGlobals();
    m_fake.reset();
}

void TstGridStyleChooseColumns::chooseColumns(Grid &grid)
{
    const QPoint cell = gridtest::pointOf(*grid.control, gridtest::visibleOrder(*grid.control).first(), 2);
    QVERIFY(cell.x() >= 0);
    const int asked = m_fake->columnsCalls;
    m_fake->chooseMenuItem = kColumns;
    gridtest::click(*grid.control, cell, Qt::RightButton);
    m_fake->chooseMenuItem.clear();
    QCOMPARE(m_fake->columnsCalls, asked + 1);
}

QString TstGridStyleChooseColumns::stored(const QString &entry)
{
    auto grid = gridtest::makeGrid(false, false);
    return grid ? grid->service().of_getreg(entry, u"<none>"_s) : u"<no grid>"_s;
}

void TstGridStyleChooseColumns::hiddenColumnsStayHiddenAtTheNextStart()
{
    {
        auto grid = gridtest::makeGrid();
        QVERIFY(grid);
        m_fake->columnsAnswer = dw::ColumnsAnswer::Confirmed;
        m_fake->visibleColumns = allBut({u"email"_s, u"cargo"_s});
        chooseColumns(*grid);
        // The chooser listed every column by its heading, all shown.
        QCOMPARE(m_fake->listedColumns.size(), 14);
        QCOMPARE(m_fake->listedColumns.first().caption, u"Nombre"_s);
        QCOMPARE(m_fake->listedColumns.at(9).caption, u"Líneas de Investigación"_s);
        QVERIFY(std::all_of(m_fake->listedColumns.begin(), m_fake->listedColumns.end(),
                            [](const dw::ColumnChoice &c) { return c.visible; }));
        QCOMPARE(gridtest::visibleOrder(*grid->control), allBut({u"email"_s, u"cargo"_s}));
    }
    QCOMPARE(stored(u"hiddencolumns"_s), u"email,cargo"_s);

    auto grid = gridtest::makeGrid();
    QVERIFY(grid);
    QCOMPARE(gridtest::visibleOrder(*grid->control), allBut({u"email"_s, u"cargo"_s}));
    QCOMPARE(grid->describe(u"email_t.visible"_s), u"0"_s);
    // Listed as the grid will show them: the hidden ones last, unchecked.
    m_fake->columnsAnswer = dw::ColumnsAnswer::Confirmed;
    m_fake->visibleColumns = allBut({u"cargo"_s});
    chooseColumns(*grid);
    QCOMPARE(m_fake->listedColumns.at(12).name, u"email"_s);
    QCOMPARE(m_fake->listedColumns.at(13).name, u"cargo"_s);
    QVERIFY(!m_fake->listedColumns.at(12).visible);
    // Shown again, email joins at the right end with its heading and header lines, which it
    // did not have: it was hidden when the style made them.
    const QStringList names = gridtest::visibleOrder(*grid->control);
    QCOMPARE(names.last(), u"email"_s);
    QCOMPARE(names.size(), 13);
    const QString x = grid->describe(u"email.x"_s);
    QCOMPARE(grid->describe(u"email_t.x"_s), x);
    QCOMPARE(grid->describe(u"email_t.visible"_s), u"1"_s);
    QCOMPARE(grid->describe(u"email_hline1.x"_s), x);
    QCOMPARE(grid->describe(u"email_hline3.width"_s), grid->describe(u"email.width"_s));
    QCOMPARE(stored(u"hiddencolumns"_s), u"cargo"_s);
    QCOMPARE(stored(u"columnorder"_s), names.join(u','));
}

// What the next start makes of a stored list; older versions stored none.
void TstGridStyleChooseColumns::storedHiddenColumnsAreRead_data()
{
    QTest::addColumn<bool>("written");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("hidden");

    QTest::newRow("none stored") << false << QString() << QStringList();
    QTest::newRow("two") << true << u"email,cargo"_s << QStringList{u"email"_s, u"cargo"_s};
    QTest::newRow("unknown names, blanks, case")
        << true << u"nosuch,, EMAIL ,id,email_t"_s << QStringList{u"email"_s};
    QTest::newRow("every column: the last one is kept") << true << allBut({}).join(u',') << QStringList();
}

void TstGridStyleChooseColumns::storedHiddenColumnsAreRead()
{
    QFETCH(bool, written);
    QFETCH(QString, value);
    QFETCH(QStringList, hidden);
    {
        auto grid = gridtest::makeGrid(false, false);
        QVERIFY(grid);
        // Widths and order as an older version stored them.
        grid->service().of_setreg(u"columnwidths"_s, u"email=1500"_s);
        grid->service().of_setreg(u"columnorder"_s, u"email,nombre"_s);
        if (written)
            grid->service().of_setreg(u"hiddencolumns"_s, value);
    }
    auto grid = gridtest::makeGrid();
    QVERIFY(grid);
    QStringList shown = gridtest::visibleOrder(*grid->control);
    if (hidden.isEmpty()) {
        QCOMPARE(shown.first(), u"email"_s);
        QCOMPARE(grid->describe(u"email.width"_s), u"1500"_s);
    }
    shown.sort();
    QStringList expected = allBut(hidden);
    expected.sort();
    QCOMPARE(shown, expected);
}

void TstGridStyleChooseColumns::theLastColumnStays()
{
    auto grid = gridtest::makeGrid();
    QVERIFY(grid);
    m_fake->columnsAnswer = dw::ColumnsAnswer::Confirmed;
    m_fake->visibleColumns = {u"institucion"_s};
    chooseColumns(*grid);
    QCOMPARE(gridtest::visibleOrder(*grid->control), QStringList{u"institucion"_s});
    QCOMPARE(grid->describe(u"institucion.x"_s), u"9"_s);

    // An answer that leaves nothing checked (the chooser never gives one) changes nothing.
    m_fake->visibleColumns.clear();
    chooseColumns(*grid);
    QCOMPARE(gridtest::visibleOrder(*grid->control), QStringList{u"institucion"_s});
    QCOMPARE(stored(u"hiddencolumns"_s), allBut({u"institucion"_s}).join(u','));

    // Cancelled: nothing changes either.
    m_fake->columnsAnswer = dw::ColumnsAnswer::Cancelled;
    m_fake->visibleColumns = allBut({});
    chooseColumns(*grid);
    QCOMPARE(gridtest::visibleOrder(*grid->control), QStringList{u"institucion"_s});
}

void TstGridStyleChooseColumns::hiddenColumnsLeavePrintAndCopyNotSave()
{
    auto grid = gridtest::makeGrid();
    QVERIFY(grid);
    u_dw &control = *grid->control;
    control.SetRow(1);
    // The words of the printed listing, and the headings of a copied row.
    const auto printed = [&](const QString &file) {
        m_fake->printToFile = m_temp.filePath(file);
        control.Print();
        QStringList words;
        for (const testsupport::PdfPage &page : testsupport::readPdfPages(m_fake->printToFile))
            words.append(page.text().split(u' '));
        return words;
    };
    const auto copiedHeadings = [&] {
        control.copyRowsToClipboard();
        return QGuiApplication::clipboard()
            ->text()
            .section(u"\r\n"_s, 0, 0)
            .section(u'\n', 0, 0)
            .split(u'\t');
    };
    const auto hasAddress = [](const QStringList &words) {
        return std::any_of(words.begin(), words.end(), [](const QString &w) { return w.contains(u'@'); });
    };
    const QStringList before = printed(u"antes.pdf"_s);
    QVERIFY(before.contains(u"Email"_s));
    QVERIFY(hasAddress(before));
    QVERIFY(copiedHeadings().contains(u"Email"_s));

    m_fake->columnsAnswer = dw::ColumnsAnswer::Confirmed;
    m_fake->visibleColumns = allBut({u"email"_s});
    chooseColumns(*grid);
    const QStringList after = printed(u"despues.pdf"_s);
    QVERIFY(after.contains(u"Nombre"_s));
    QVERIFY(!after.contains(u"Email"_s));
    QVERIFY(!hasAddress(after));
    const QStringList headings = copiedHeadings();
    QCOMPARE(headings.size(), 13);
    QVERIFY(!headings.contains(u"Email"_s));

    // A saved file holds every column.
    const QString csv = m_temp.filePath(u"listado.csv"_s);
    m_fake->saveTarget = dw::SaveTarget{csv, u"csv"_s};
    control.SaveAs();
    QFile saved(csv);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QString content = QString::fromUtf8(saved.readAll());
    QVERIFY(content.section(u"\r\n"_s, 0, 0).contains(u"Email"_s));
    QVERIFY(content.contains(control.GetItemString(1, u"email"_s)));
}

void TstGridStyleChooseColumns::resetBringsTheDesignBack()
{
    auto grid = gridtest::makeGrid();
    QVERIFY(grid);
    u_dw &control = *grid->control;
    const QStringList designed = placed(control);

    // The user widens a column, moves another first, sorts by email and hides it.
    control.Modify(u"nombre.Width=2000"_s);
    control.Modify(dw::arrangeCommands(control.model(), {u"cargo"_s}));
    grid->service().columnlayoutchanged();
    grid->service().clicked(0, 0, 0, {u"email_t"_s, u"text"_s, u"header"_s});
    QCOMPARE(grid->describe(u"email_arrow.visible"_s), u"1"_s);
    m_fake->columnsAnswer = dw::ColumnsAnswer::Confirmed;
    m_fake->visibleColumns = allBut({u"email"_s, u"proyectos"_s});
    chooseColumns(*grid);
    QCOMPARE(gridtest::visibleOrder(*grid->control).first(), u"cargo"_s);
    // The sorted column's stripe went with it.
    QCOMPARE(grid->describe(u"email_shade.name"_s), u"!"_s);

    m_fake->columnsAnswer = dw::ColumnsAnswer::Reset;
    chooseColumns(*grid);
    QCOMPARE(placed(control), designed);
    QCOMPARE(grid->describe(u"email_shade.name"_s), u"email_shade"_s);
    QCOMPARE(grid->describe(u"email_arrow.x"_s), grid->describe(u"email_t.x"_s));
    QCOMPARE(grid->describe(u"nombre_hline2.width"_s), u"1111"_s);
    for (const QString &entry : {u"columnwidths"_s, u"columnorder"_s, u"hiddencolumns"_s})
        QCOMPARE(stored(entry), u"<none>"_s);
    // The sort is not the columns': it stays.
    QCOMPARE(grid->describe(u"DataWindow.Table.Sort"_s), u"email A"_s);

    auto restarted = gridtest::makeGrid();
    QVERIFY(restarted);
    QCOMPARE(placed(*restarted->control), designed);
}

QTEST_MAIN(TstGridStyleChooseColumns)
#include "tst_gridstyle_choosecolumns.moc"

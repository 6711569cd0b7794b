// Describe and Modify: paths, errors, created and destroyed objects, attributes written
// as default and expression, and the grid's column rules.

#include "datawindow.h"
#include "interaction.h"
#include "modelfixture.h"

#include <QScopeGuard>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A small grid: three placed columns with headings, a hidden fourth.
const QString kGrid = uR"dwl(
datawindow(processing=grid)
header(height=100)
detail(height=80)
table(name=t)
tablecolumn(name=a type=char(20) dbname="t.a")
tablecolumn(name=b type=long dbname="t.b")
tablecolumn(name=c type=number dbname="t.c")
tablecolumn(name=d type=decimal(2) dbname="t.d")
text(band=header name=a_t text="A" x=9 y=0 width=100 height=64)
text(band=header name=b_t text="B" x=118 y=0 width=200 height=64)
text(band=header name=c_t text="C" x=327 y=0 width=300 height=64)
text(band=header name=d_t text="D" x=0 y=0 width=50 height=64 visible=0)
text(band=header name=title text="Title" x=118 y=70 width=10 height=10)
column(band=detail id=1 x=9 y=0 width=100 height=80 edit.style=dddw dddw.name=dddw_x dddw.displaycolumn=n dddw.datacolumn=i)
column(band=detail id=2 x=118 y=0 width=200 height=80 edit.codetable=yes values="Uno~t1/Dos~t2/")
column(band=detail id=3 x=327 y=0 width=300 height=80 format="#,##0.00" font.face=Tahoma font.italic=1)
column(band=detail id=4 x=0 y=0 width=50 height=80 visible=0)
)dwl"_s;

QStringList xs(const dw::DataWindow &dw, const QString &names)
{
    QStringList result;
    for (const QString &name : names.split(u' '))
        result.append(dw.Describe(name + u".x"_s));
    return result;
}

// Confirms every sort and filter dialog with the criteria it was made with.
class Answering final : public dw::Interaction
{
public:
    Answering(QString sort, QString filter) : m_sort(std::move(sort)), m_filter(std::move(filter)) {}
    int asked = 0;

    void messageBox(QWidget *, const QString &, const QString &) override { ++asked; }
    int printerSetup(QWidget *, QPrinter &, bool) override { return ++asked, 0; }
    std::optional<dw::SaveTarget> askSaveAs(QWidget *, const dw::SaveTarget &) override
    {
        ++asked;
        return std::nullopt;
    }
    int sortDialog(QWidget *, const dw::DataWindow &, QString &criteria) override
    {
        ++asked;
        criteria = m_sort;
        return 1;
    }
    int filterDialog(QWidget *, const dw::DataWindow &, QString &expression) override
    {
        ++asked;
        expression = m_filter;
        return 1;
    }
    bool keyDown(int) override { return false; }
    QAction *popMenu(QMenu &, const QPoint &) override { return nullptr; }

private:
    QString m_sort;
    QString m_filter;
};

} // namespace

class tst_DescribeModify : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void describePaths_data();
    void describePaths();
    void evaluateInDescribe();
    void assignments();
    void createAndDestroy();
    void failingModifyChangesNothing_data();
    void failingModifyChangesNothing();
    void defaultAndExpression();
    void gridWidthMovesHeadingAndNeighbours();
    void gridVisibilityReordersColumns();
    void setPositionBringsToFront();
    void dialogsGoToWhoeverAnswers();

private:
    std::unique_ptr<dw::DataWindow> m_dw;
};

void tst_DescribeModify::init()
{
    m_dw = std::make_unique<dw::DataWindow>();
    QString error;
    QVERIFY2(m_dw->setSyntax(kGrid, &error), qPrintable(error));
}

void tst_DescribeModify::describePaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("answer");

    QTest::newRow("column count") << u"DataWindow.Column.Count"_s << u"4"_s;
    QTest::newRow("band height, any case") << u"Datawindow.Detail.height"_s << u"80"_s;
    QTest::newRow("header height") << u"DATAWINDOW.HEADER.HEIGHT"_s << u"100"_s;
    QTest::newRow("absent band") << u"DataWindow.Footer.Height"_s << u"0"_s;
    QTest::newRow("print preview default") << u"DataWindow.Print.Preview"_s << u"no"_s;
    QTest::newRow("processing") << u"DataWindow.Processing"_s << u"grid"_s;
    QTest::newRow("unknown dw attribute") << u"DataWindow.Nonsense"_s << u"!"_s;
    QTest::newRow("no filter") << u"DataWindow.Table.Filter"_s << u"?"_s;
    QTest::newRow("no sort") << u"DataWindow.Table.Sort"_s << u""_s;
    QTest::newRow("#n.Name") << u"#3.Name"_s << u"c"_s;
    QTest::newRow("#n.Width") << u"#2.Width"_s << u"200"_s;
    QTest::newRow("#n.Visible") << u"#4.Visible"_s << u"0"_s;
    QTest::newRow("#n out of range") << u"#9.Name"_s << u"!"_s;
    QTest::newRow("id") << u"C.ID"_s << u"3"_s;
    QTest::newRow("coltype char") << u"a.ColType"_s << u"char(20)"_s;
    QTest::newRow("coltype decimal") << u"d.coltype"_s << u"decimal(2)"_s;
    QTest::newRow("dbname") << u"b.dbName"_s << u"t.b"_s;
    QTest::newRow("format") << u"c.Format"_s << u"#,##0.00"_s;
    QTest::newRow("format default") << u"a.Format"_s << u"[general]"_s;
    QTest::newRow("edit style dddw") << u"a.Edit.Style"_s << u"dddw"_s;
    QTest::newRow("edit style default") << u"c.Edit.Style"_s << u"edit"_s;
    QTest::newRow("code table") << u"b.Edit.CodeTable"_s << u"yes"_s;
    QTest::newRow("no code table") << u"a.Edit.CodeTable"_s << u"no"_s;
    QTest::newRow("font face set") << u"c.Font.Face"_s << u"Tahoma"_s;
    QTest::newRow("font italic set") << u"c.Font.Italic"_s << u"1"_s;
    QTest::newRow("font charset default") << u"a.Font.CharSet"_s << u"0"_s;
    QTest::newRow("font family default") << u"a.Font.Family"_s << u"2"_s;
    QTest::newRow("font pitch default") << u"a.font.pitch"_s << u"2"_s;
    QTest::newRow("background transparent") << u"a.background.color"_s << u"536870912"_s;
    QTest::newRow("heading text") << u"b_t.Text"_s << u"B"_s;
    QTest::newRow("type") << u"b_t.Type"_s << u"text"_s;
    QTest::newRow("band") << u"b_t.band"_s << u"header"_s;
    QTest::newRow("visible default") << u"a.Visible"_s << u"1"_s;
    QTest::newRow("unset tip") << u"a.tooltip.tip"_s << u"?"_s;
    QTest::newRow("unset dddw on a plain column") << u"c.dddw.name"_s << u"?"_s;
    QTest::newRow("column attribute on a text") << u"a_t.dddw.name"_s << u"!"_s;
    QTest::newRow("unknown attribute") << u"a.wobble"_s << u"!"_s;
    QTest::newRow("unknown object") << u"zz.x"_s << u"!"_s;
    QTest::newRow("no attribute") << u"a"_s << u"!"_s;
    QTest::newRow("several paths") << u"a.x  b.x\tc_t.Text"_s << u"9\n118\nC"_s;
    QTest::newRow("sql") << u"DataWindow.Table.Select"_s << u"SELECT t.a, t.b, t.c, t.d FROM t"_s;
}

void tst_DescribeModify::describePaths()
{
    QFETCH(QString, path);
    QFETCH(QString, answer);
    QCOMPARE(m_dw->Describe(path), answer);
}

void tst_DescribeModify::evaluateInDescribe()
{
    // No rows: columns read as null, the rest of the language works.
    QCOMPARE(m_dw->Describe(u"Evaluate('upper(\"ab\") & \" c\"', 0)"_s), u"AB c"_s);
    QCOMPARE(m_dw->Describe(u"Evaluate(\"Integer(Describe('b.x')) - 8\", 1)"_s), u"110"_s);
    QCOMPARE(m_dw->Describe(u"Evaluate('isnull(a)', 3)"_s), u"1"_s);
    QCOMPARE(m_dw->Describe(u"Evaluate('it~'s', 0) a.x"_s), u"!\n9"_s);
    QCOMPARE(m_dw->Describe(u"Evaluate('nosuchcolumn', 1)"_s), u"!"_s);
    QCOMPARE(m_dw->Describe(u"Evaluate('1', x)"_s), u"!"_s);
    QCOMPARE(m_dw->Describe(u"Evaluate('1' 1)"_s), u"!"_s);
}

void tst_DescribeModify::assignments()
{
    RecordingObserver observer(*m_dw);
    QCOMPARE(m_dw->Modify(u"a_t.text='Uno Dos' b_t.background.color=123 "
                          u"c_t.Font.Weight=\"700\" title.x = 5  DataWindow.Print.Preview=yes"_s),
             QString());
    QCOMPARE(m_dw->Describe(u"a_t.text b_t.background.color c_t.font.weight title.x"_s),
             u"Uno Dos\n123\n700\n5"_s);
    QCOMPARE(m_dw->Describe(u"DataWindow.Print.Preview"_s), u"yes"_s);
    QCOMPARE(observer.layoutChanges, 1);

    // Criteria through Modify: checked, and reported back in their own form.
    QCOMPARE(m_dw->Modify(u"DataWindow.Table.Sort='a a, LookUpDisplay(b) D'"_s), QString());
    QCOMPARE(m_dw->Describe(u"DataWindow.Table.Sort"_s), u"a A, LookUpDisplay(b) D"_s);
    QCOMPARE(m_dw->Modify(u"DataWindow.Table.Filter='b > 1'"_s), QString());
    QCOMPARE(m_dw->Describe(u"DataWindow.Table.Filter"_s), u"b > 1"_s);
    QCOMPARE(m_dw->Modify(u"DataWindow.Table.Filter=''"_s), QString());
    QCOMPARE(m_dw->Describe(u"DataWindow.Table.Filter"_s), u"?"_s);
    QCOMPARE(m_dw->Modify(QString()), QString());
}

void tst_DescribeModify::createAndDestroy()
{
    const QString line = u"create text(band=header alignment=\"0\" text=\"\" border=\"0\" color=\"0\" "
                         u" x=\"118\" y=\"96\" height=\"4\" width=\"200\" html.valueishtml=\"0\" "
                         u"name=b_hline1 visible=\"1\" font.face=\"Tahoma\" font.height=\"-10\" "
                         u"font.weight=\"400\" font.family=\"2\" font.pitch=\"2\" font.charset=\"0\" "
                         u"background.mode=\"2\" background.color=\"12109771\")"_s;
    QCOMPARE(m_dw->Modify(line), QString());
    QCOMPARE(m_dw->Describe(u"b_hline1.y b_hline1.background.color b_hline1.html.valueishtml"_s),
             u"96\n12109771\n0"_s);
    QCOMPARE(m_dw->objects().back().name, u"b_hline1"_s);
    QVERIFY(!m_dw->Modify(line).isEmpty()); // the name is taken

    QCOMPARE(m_dw->Modify(u"create text(band=BackGround name=stripe text=\"\" x=0 y=0 width=10 height=10) "
                          u"create compute(band=footer name=total expression=\"upper('x')\")"_s),
             QString());
    QCOMPARE(m_dw->bandOf(m_dw->objects().back()), dw::Band::Footer);
    QCOMPARE(m_dw->Describe(u"stripe.band total.type total.expression"_s),
             u"background\ncompute\nupper('x')"_s);
    QCOMPARE(m_dw->objectText(m_dw->objects().back(), 0), u"X"_s);

    const auto count = m_dw->objects().size();
    QCOMPARE(m_dw->Modify(u"destroy stripe destroy TOTAL"_s), QString());
    QCOMPARE(m_dw->objects().size(), count - 2);
    QCOMPARE(m_dw->Describe(u"stripe.x"_s), u"!"_s);
    QVERIFY(!m_dw->Modify(u"destroy stripe"_s).isEmpty());
    QVERIFY(!m_dw->Modify(u"destroy a"_s).isEmpty()); // columns stay
    QVERIFY(!m_dw->Modify(u"create column(name=e id=1)"_s).isEmpty());
    QVERIFY(!m_dw->Modify(u"create text(text=\"no name\")"_s).isEmpty());
    QVERIFY(!m_dw->Modify(u"create table(name=x)"_s).isEmpty());
}

void tst_DescribeModify::failingModifyChangesNothing_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("unknown object last") << u"a_t.text='X' c.width=999 nosuch.x=1"_s;
    QTest::newRow("unknown attribute") << u"a_t.text='X' a_t.wobble=1"_s;
    QTest::newRow("read-only attribute") << u"a_t.text='X' a.ColType=long"_s;
    QTest::newRow("bad band") << u"a_t.text='X' a_t.band=middle"_s;
    QTest::newRow("bad create") << u"a_t.text='X' create text(band=nowhere name=q)"_s;
    QTest::newRow("destroy missing") << u"destroy title a_t.text='X' destroy ghost"_s;
    QTest::newRow("garbage") << u"a_t.text='X' )("_s;
    QTest::newRow("no equals") << u"a_t.text='X' b.visible"_s;
    QTest::newRow("unterminated") << u"a_t.text='X' b_t.text='oops"_s;
    QTest::newRow("bad sort") << u"a_t.text='X' c.width=999 DataWindow.Table.Sort='nosuch A'"_s;
    QTest::newRow("bad filter") << u"a_t.text='X' DataWindow.Table.Filter='a = = 1'"_s;
    // A heading that does not exist reads as "!"; what is built from it creates nothing.
    QTest::newRow("create at !")
        << u"a_t.text='X' create text(band=header name=e_hline1 x=\"!\" width=\"!\")"_s;
    QTest::newRow("width !") << u"a_t.text='X' c.width=!"_s;
    QTest::newRow("band height text") << u"a_t.text='X' DataWindow.Header.Height=tall"_s;
}

void tst_DescribeModify::failingModifyChangesNothing()
{
    QFETCH(QString, command);
    QCOMPARE(m_dw->Modify(u"DataWindow.Table.Sort='a A'"_s), QString());
    RecordingObserver observer(*m_dw);
    const QString before = m_dw->Describe(u"a_t.text c.width b_t.x title.x DataWindow.Table.Sort "
                                          u"DataWindow.Table.Filter DataWindow.Objects"_s);
    const QString error = m_dw->Modify(command);
    QVERIFY(!error.isEmpty());
    QCOMPARE(m_dw->Describe(u"a_t.text c.width b_t.x title.x DataWindow.Table.Sort "
                            u"DataWindow.Table.Filter DataWindow.Objects"_s),
             before);
    QCOMPARE(observer.layoutChanges, 0);
}

void tst_DescribeModify::defaultAndExpression()
{
    // A stripe that follows column b: the default for readers that do not evaluate, the
    // expression where the attribute is used.
    const QString create
        = u"create text(band=background name=b_shade text=\"\" "
          u"x=\"110\tInteger(Describe('b.X')) - 8\" y=\"0\" height=\"500\" "
          u"width=\"214\tInteger(Describe('b.Width')) + 14\" background.color=\"16250871\")"_s;
    QCOMPARE(m_dw->Modify(create), QString());
    const dw::LayoutObject &shade = m_dw->objects().back();
    QCOMPARE(m_dw->Describe(u"b_shade.x b_shade.width"_s), u"110\n214"_s);
    QCOMPARE(m_dw->attribute(shade, u"x"_s), u"110"_s);
    QCOMPARE(m_dw->Modify(u"b.width=250"_s), QString());
    const dw::LayoutObject &moved = m_dw->objects().back();
    QCOMPARE(m_dw->Describe(u"b_shade.width"_s), u"214"_s);
    QCOMPARE(m_dw->attribute(moved, u"width"_s), u"264"_s);
    QCOMPARE(m_dw->attribute(moved, u"X"_s, 1), u"110"_s);

    // Assigned through Modify with the tab escaped; a broken expression falls back.
    QCOMPARE(m_dw->Modify(u"a_t.color='255~tInteger(Describe(\"a.x\")) + 65271' b_t.color='7~tInteger(('"_s),
             QString());
    QCOMPARE(m_dw->Describe(u"a_t.color b_t.color"_s), u"255\n7"_s);
    const auto &objects = m_dw->objects();
    QCOMPARE(m_dw->attribute(objects[0], u"color"_s), u"65280"_s);
    QCOMPARE(m_dw->attribute(objects[1], u"color"_s), u"7"_s);
    // Unset attributes read as the kind's default for the views.
    QCOMPARE(m_dw->attribute(objects[0], u"visible"_s), u"1"_s);
    QCOMPARE(m_dw->attribute(objects[0], u"tooltip.tip"_s), QString());
}

void tst_DescribeModify::gridWidthMovesHeadingAndNeighbours()
{
    // A header line laid over the heading follows it, a title elsewhere does not.
    QCOMPARE(m_dw->Modify(u"create text(band=header name=b_hline1 x=118 y=96 width=200 height=4)"_s),
             QString());
    QCOMPARE(m_dw->Modify(u"b.Width = 250"_s), QString());
    QCOMPARE(m_dw->Describe(u"b.width b_t.width b_hline1.width"_s), u"250\n250\n250"_s);
    QCOMPARE(xs(*m_dw, u"a b c c_t b_t title"_s),
             QStringList({u"9"_s, u"118"_s, u"377"_s, u"377"_s, u"118"_s, u"118"_s}));
    QCOMPARE(m_dw->Modify(u"b.width=150"_s), QString());
    QCOMPARE(xs(*m_dw, u"c c_t"_s), QStringList({u"277"_s, u"277"_s}));

    QCOMPARE(m_dw->Modify(u"c.x=1000"_s), QString());
    QCOMPARE(xs(*m_dw, u"c c_t b"_s), QStringList({u"1000"_s, u"1000"_s, u"118"_s}));

    // The same on a free-form layout moves only the object itself.
    dw::DataWindow free;
    QString freeform = kGrid;
    freeform.replace(u"processing=grid"_s, u"processing=freeform"_s);
    QVERIFY(free.setSyntax(freeform));
    QCOMPARE(free.Modify(u"b.width=250 b.visible=0"_s), QString());
    QCOMPARE(free.Describe(u"b_t.width c.x b_t.visible"_s), u"200\n327\n1"_s);
}

void tst_DescribeModify::gridVisibilityReordersColumns()
{
    QCOMPARE(m_dw->Modify(u"create text(band=header name=c_hline1 x=327 y=96 width=300 height=4)"_s),
             QString());
    // Hiding closes the gap; the heading and its line hide with the column.
    QCOMPARE(m_dw->Modify(u"b.Visible='0'"_s), QString());
    QCOMPARE(m_dw->Describe(u"b_t.visible c.x c_t.x c_hline1.x"_s), u"0\n118\n118\n118"_s);

    // Showing places the column after the visible ones, heading included.
    QCOMPARE(m_dw->Modify(u"d.visible=1"_s), QString());
    QCOMPARE(m_dw->Describe(u"d.x d_t.x d_t.visible"_s), u"427\n427\n1"_s);

    // What the grid style service does to reorder: hide every column in one call, then
    // show the wanted ones in order.
    QCOMPARE(m_dw->Modify(u"a.Visible='0' b.Visible='0' c.Visible='0' d.Visible='0' "_s), QString());
    QCOMPARE(m_dw->Modify(u"c.Visible='1'"_s), QString());
    QCOMPARE(m_dw->Modify(u"a.Visible='1'"_s), QString());
    QCOMPARE(xs(*m_dw, u"c c_t c_hline1 a a_t"_s), QStringList({u"9"_s, u"9"_s, u"9"_s, u"318"_s, u"318"_s}));
    QCOMPARE(m_dw->Describe(u"b.visible d.visible #1.visible #3.visible"_s), u"0\n0\n1\n1"_s);
}

void tst_DescribeModify::setPositionBringsToFront()
{
    RecordingObserver observer(*m_dw);
    QCOMPARE(m_dw->SetPosition(u"A_T"_s, u"header"_s, true), 1);
    QCOMPARE(m_dw->objects().back().name, u"a_t"_s);
    QCOMPARE(m_dw->SetPosition(u"title"_s, u"footer"_s, false), 1);
    QCOMPARE(m_dw->objects().front().name, u"title"_s);
    QCOMPARE(m_dw->Describe(u"title.band"_s), u"footer"_s);
    QCOMPARE(m_dw->SetPosition(u"ghost"_s, u"header"_s, true), -1);
    QCOMPARE(m_dw->SetPosition(u"a_t"_s, u"nowhere"_s, true), -1);
    QCOMPARE(observer.layoutChanges, 2);
}

// Sort and filter criteria asked of the user go to the replacement a test installs, else
// to the standard dialogs the program installs; with neither, the question counts as
// cancelled and the criteria stay.
void tst_DescribeModify::dialogsGoToWhoeverAnswers()
{
    const auto restore = qScopeGuard([] {
        dw::setInteraction(nullptr);
        dw::setStandardInteraction(nullptr);
    });
    QCOMPARE(m_dw->SetSort(QString()), 0);
    QCOMPARE(m_dw->SetFilter(QString()), 0);
    QCOMPARE(m_dw->Describe(u"DataWindow.Table.Filter"_s), u"?"_s);

    Answering standard(u"b D"_s, u"b > 1"_s);
    dw::setStandardInteraction(&standard);
    QCOMPARE(m_dw->SetSort(QString()), 1);
    QCOMPARE(m_dw->Describe(u"DataWindow.Table.Sort"_s), u"b D"_s);

    Answering replacement(u"c A"_s, u"c > 2"_s);
    dw::setInteraction(&replacement);
    QCOMPARE(m_dw->SetFilter(QString()), 1);
    QCOMPARE(m_dw->Describe(u"DataWindow.Table.Filter"_s), u"c > 2"_s);
    QCOMPARE(standard.asked, 1);

    dw::setInteraction(nullptr);
    QCOMPARE(m_dw->SetFilter(QString()), 1);
    QCOMPARE(m_dw->Describe(u"DataWindow.Table.Filter"_s), u"b > 1"_s);
    QCOMPARE(replacement.asked, 1);
    QCOMPARE(standard.asked, 2);
}

QTEST_MAIN(tst_DescribeModify)
#include "tst_describemodify.moc"

// The layout syntax and the listing layout as the program ships it.

#include "datawindow.h"
#include "objects/layoutsyntax.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_LayoutSyntax : public QObject
{
    Q_OBJECT

private slots:
    void valuesAndEscapes();
    void brokenLayouts_data();
    void brokenLayouts();
    void listingLayout_data();
    void listingLayout();
    void listingHasNoDesignedCriteria();
    void missingLayout();
    void everyShippedLayoutLoads();
    void randomTextNeverHangs();
};

void tst_LayoutSyntax::valuesAndEscapes()
{
    const QString text = u"// a comment line\n"
                         u"  // an indented one\n"
                         u"TEXT(Name=t_1 text=\"say ~\"hi~\" ~~ end\" tip='it~'s' x=9\n"
                         u"     type=char(255) values=(a (b) \"c)\") tab=\"a\tb\" esc=\"~t~n~r\"\n"
                         u"     expr='0~tif(x > 1, 2, 3)' url=http://host/a)\n"
                         u"line(name=l_1 x1=0)"_s;
    QString error;
    const auto items = dw::syntax::parseLayout(text, &error);
    QVERIFY2(items, qPrintable(error));
    QCOMPARE(items->size(), std::size_t(2));
    const dw::syntax::Item &item = items->front();
    QCOMPARE(item.kind, u"text"_s);
    QCOMPARE(item.line, 3);
    auto value = [&](const char16_t *name) {
        for (const auto &[key, v] : item.attributes) {
            if (key == QStringView(name))
                return v;
        }
        return u"<absent>"_s;
    };
    QCOMPARE(value(u"name"), u"t_1"_s);
    QCOMPARE(value(u"text"), u"say \"hi\" ~ end"_s);
    QCOMPARE(value(u"tip"), u"it's"_s);
    QCOMPARE(value(u"x"), u"9"_s);
    QCOMPARE(value(u"type"), u"char(255)"_s);
    QCOMPARE(value(u"values"), u"a (b) \"c)\""_s);
    QCOMPARE(value(u"tab"), u"a\tb"_s);
    QCOMPARE(value(u"esc"), u"\t\n\r"_s);
    QCOMPARE(value(u"expr"), u"0\tif(x > 1, 2, 3)"_s);
    QCOMPARE(value(u"url"), u"http://host/a"_s);

    // What quote() writes reads back unchanged.
    const QString awkward = u"a \"b\" ~c~ 'd'\t"_s;
    const auto again = dw::syntax::parseLayout(u"text(v="_s + dw::syntax::quote(awkward) + u')');
    QVERIFY(again);
    QCOMPARE(again->front().attributes.front().second, awkward);
}

void tst_LayoutSyntax::brokenLayouts_data()
{
    QTest::addColumn<QString>("syntax");
    QTest::addColumn<QString>("expected"); // part of the error text

    const QString table = u"table(name=t)\ntablecolumn(name=a type=char(10))\n"_s;
    QTest::newRow("unterminated quote") << table + u"text(name=x text=\"abc)"_s << u"unterminated"_s;
    QTest::newRow("missing parenthesis") << table + u"text(name=x"_s << u"')' is missing"_s;
    QTest::newRow("missing equals") << table + u"text(name x=1)"_s << u"'='"_s;
    QTest::newRow("unknown kind") << table + u"widget(name=x)"_s << u"line 3"_s;
    QTest::newRow("column id out of range") << table + u"column(id=2 name=b)"_s << u"line 3"_s;
    QTest::newRow("column placed twice") << table + u"column(id=1)\ncolumn(name=a)"_s << u"line 4"_s;
    QTest::newRow("duplicate names") << table + u"text(name=x)\nline(name=X)"_s << u"line 4"_s;
    QTest::newRow("unknown type") << u"tablecolumn(name=a type=blob)"_s << u"line 1"_s;
    QTest::newRow("unknown band") << table + u"text(name=x band=middle)"_s << u"middle"_s;
    QTest::newRow("bad designed sort") << u"table(name=t sort=\"nope A\")\n"
                                          u"tablecolumn(name=a type=char(10))"_s
                                       << u"nope"_s;
    QTest::newRow("bad designed filter") << u"table(name=t filter=\"a = \")\n"
                                            u"tablecolumn(name=a type=char(10))"_s
                                         << u"filter"_s;
}

void tst_LayoutSyntax::brokenLayouts()
{
    QFETCH(QString, syntax);
    QFETCH(QString, expected);
    dw::DataWindow dw;
    QVERIFY(dw.setSyntax(u"table(name=t)\ntablecolumn(name=z type=long)"_s));
    QString error;
    QVERIFY(!dw.setSyntax(syntax, &error));
    QVERIFY2(error.contains(expected, Qt::CaseInsensitive), qPrintable(error));
    // A layout that does not load leaves nothing of the previous one behind.
    QCOMPARE(dw.columnCount(), 0);
    QVERIFY(dw.objects().empty());
    QCOMPARE(dw.Describe(u"z.ID"_s), u"!"_s);
}

void tst_LayoutSyntax::listingLayout_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("blue");
    QTest::addColumn<QString>("alignment");
    QTest::addColumn<bool>("tip");

    QTest::newRow("1") << u"nombre"_s << u"Nombre"_s << 9 << 1111 << true << u"0"_s << false;
    QTest::newRow("2") << u"tipo_miembro_red"_s << u"Tipo de Miembro"_s << 1129 << 567 << false << u"0"_s
                       << false;
    QTest::newRow("3") << u"grado_academico"_s << u"Grado Académico"_s << 1705 << 466 << true << u"0"_s
                       << false;
    QTest::newRow("4") << u"especialidad"_s << u"Especialidad"_s << 2181 << 869 << false << u"0"_s << true;
    QTest::newRow("5") << u"nivel_sni"_s << u"SNI"_s << 3058 << 270 << true << u"2"_s << false;
    QTest::newRow("6") << u"institucion"_s << u"Institución"_s << 3337 << 955 << false << u"0"_s << true;
    QTest::newRow("7") << u"entidad_fed"_s << u"Estado"_s << 4302 << 265 << true << u"0"_s << false;
    QTest::newRow("8") << u"email"_s << u"Email"_s << 4576 << 754 << false << u"0"_s << false;
    QTest::newRow("9") << u"cargo"_s << u"Cargo"_s << 5339 << 603 << true << u"0"_s << false;
    QTest::newRow("10") << u"linea_investigacion"_s << u"Líneas de Investigación"_s << 5952 << 1134 << false
                        << u"0"_s << true;
    QTest::newRow("11") << u"area_aplicacion"_s << u"Áreas de Aplicación"_s << 7095 << 1440 << true << u"0"_s
                        << true;
    QTest::newRow("12") << u"subprograma_red"_s << u"Subprograma(s) en la Red"_s << 8544 << 873 << false
                        << u"0"_s << true;
    QTest::newRow("13") << u"proyectos"_s << u"Proyectos"_s << 9426 << 2441 << true << u"0"_s << true;
    QTest::newRow("14") << u"enzimas"_s << u"Enzimas"_s << 11877 << 1385 << false << u"0"_s << true;
}

void tst_LayoutSyntax::listingLayout()
{
    QFETCH(QString, column);
    QFETCH(QString, caption);
    QFETCH(int, x);
    QFETCH(int, width);
    QFETCH(bool, blue);
    QFETCH(QString, alignment);
    QFETCH(bool, tip);

    dw::DataWindow dw;
    QVERIFY(dw.setDataObject(u"dw_listado_grid"_s));
    QCOMPARE(dw.presentation(), u"grid"_s);
    QCOMPARE(dw.columnCount(), 15);
    QCOMPARE(dw.Describe(u"DataWindow.Header.Height DataWindow.Detail.Height DataWindow.Footer.Height"_s),
             u"68\n120\n0"_s);

    const int number = QTest::currentDataTag() ? QString::fromLatin1(QTest::currentDataTag()).toInt() : 0;
    QCOMPARE(dw.Describe(u"#%1.Name"_s.arg(number)), column);
    auto describe = [&](const QString &path) { return dw.Describe(column + path); };
    QCOMPARE(describe(u".x"_s), QString::number(x));
    QCOMPARE(describe(u".width"_s), QString::number(width));
    QCOMPARE(describe(u".y"_s) + describe(u".height"_s), u"0120"_s);
    QCOMPARE(describe(u"_t.x"_s), QString::number(x));
    QCOMPARE(describe(u"_t.width"_s), QString::number(width));
    QCOMPARE(describe(u"_t.Text"_s), caption);
    QCOMPARE(describe(u"_t.band"_s) + describe(u".band"_s), u"headerdetail"_s);
    QCOMPARE(describe(u"_t.color"_s) + u' ' + describe(u"_t.background.color"_s), u"16777215 8421376"_s);
    QCOMPARE(describe(u"_t.Font.Face"_s) + describe(u"_t.Font.Height"_s), u"Arial-10"_s);
    QCOMPARE(describe(u".Font.Face"_s) + describe(u".Font.Height"_s) + describe(u".Font.Weight"_s),
             u"Arial-8400"_s);
    QCOMPARE(describe(u".background.color"_s), blue ? u"15780518"_s : u"12639424"_s);
    QCOMPARE(describe(u".color"_s), u"33554432"_s);
    QCOMPARE(describe(u".alignment"_s), alignment);
    QCOMPARE(describe(u".Format"_s), u"[general]"_s);
    QCOMPARE(describe(u".tabsequence"_s), u"32766"_s);
    QCOMPARE(describe(u".ColType"_s),
             column == u"area_aplicacion" || column == u"proyectos" ? u"char(32000)"_s : u"char(255)"_s);
    QCOMPARE(describe(u".tooltip.enabled"_s), tip ? u"1"_s : u"0"_s);
    if (tip) {
        // The tip is the cell's own value: an empty default, then the column as expression.
        const auto &objects = dw.objects();
        const auto cell = std::find_if(objects.begin(), objects.end(),
                                       [&](const dw::LayoutObject &o) { return o.name == column; });
        QVERIFY(cell != objects.end());
        QCOMPARE(cell->raw(u"tooltip.tip"_s), u"\t"_s + column);
        QCOMPARE(describe(u".tooltip.delay.visible"_s), u"32000"_s);
        QCOMPARE(describe(u".tooltip.textcolor"_s) + u' ' + describe(u".tooltip.backcolor"_s),
                 u"134217751 134217752"_s);
    }

    // id is retrieved but has no cell: an invisible column without a heading.
    QCOMPARE(dw.Describe(u"#15.Name id.ColType id.Visible id_t.Text"_s), u"id\nlong\n0\n!"_s);
}

void tst_LayoutSyntax::listingHasNoDesignedCriteria()
{
    dw::DataWindow dw;
    QVERIFY(dw.setDataObject(u"dw_listado_grid"_s));
    QCOMPARE(dw.dataObject(), u"dw_listado_grid"_s);
    QCOMPARE(dw.Describe(u"DataWindow.Table.Sort"_s), QString());
    QCOMPARE(dw.Describe(u"Datawindow.Table.Filter"_s), u"?"_s);
    // Headings are drawn before the cells, in the order the layout lists them.
    QCOMPARE(dw.objects().front().name, u"nombre_t"_s);
    QCOMPARE(dw.bandOf(dw.objects().front()), dw::Band::Header);
}

void tst_LayoutSyntax::missingLayout()
{
    dw::DataWindow dw;
    QVERIFY(dw.setDataObject(u"dw_listado_grid"_s));
    QVERIFY(!dw.setDataObject(u"dw_no_such_layout"_s));
    QCOMPARE(dw.dataObject(), QString());
    QCOMPARE(dw.columnCount(), 0);
    QVERIFY(dw.setDataObject(QString()));
    QCOMPARE(dw.Describe(u"DataWindow.Column.Count"_s), u"0"_s);
}

void tst_LayoutSyntax::everyShippedLayoutLoads()
{
    const QStringList files = QDir(u":/layouts"_s).entryList({u"*.dwl"_s});
    QVERIFY(files.contains(u"dw_listado_grid.dwl"_s));
    for (const QString &file : files) {
        QFile resource(u":/layouts/"_s + file);
        QVERIFY(resource.open(QIODevice::ReadOnly));
        dw::DataWindow dw;
        QString error;
        QVERIFY2(dw.setSyntax(QString::fromUtf8(resource.readAll()), &error),
                 qPrintable(file + u": "_s + error));
        QVERIFY2(!dw.selectSql().isEmpty(), qPrintable(file));
    }
}

void tst_LayoutSyntax::randomTextNeverHangs()
{
    // Fragments of the syntax shuffled into random text: whatever the input, the parser,
    // Modify and Describe answer (an error is fine) and nothing changes on failure.
    const QStringList pieces = {u"text("_s,
                                u"column("_s,
                                u"create "_s,
                                u"destroy "_s,
                                u"("_s,
                                u")"_s,
                                u"="_s,
                                u"\""_s,
                                u"'"_s,
                                u"~"_s,
                                u"~t"_s,
                                u" "_s,
                                u"name=x"_s,
                                u"band=header"_s,
                                u"nombre_t.x"_s,
                                u"#1.visible"_s,
                                u"//"_s,
                                u"\n"_s,
                                u"Evaluate('"_s,
                                u"DataWindow.Table.Sort"_s,
                                u"1"_s,
                                u"x"_s,
                                u"tablecolumn(name=a type=long)"_s};
    QRandomGenerator random(20261207);
    dw::DataWindow dw;
    QVERIFY(dw.setDataObject(u"dw_listado_grid"_s));
    QElapsedTimer timer;
    timer.start();
    int runs = 0;
    while (timer.elapsed() < 2000) {
        QString text;
        const int length = random.bounded(1, 12);
        for (int i = 0; i < length; ++i)
            text += pieces[random.bounded(int(pieces.size()))];
        dw::DataWindow scratch;
        (void)scratch.setSyntax(text);
        (void)dw.Describe(text);
        const QString before = dw.Describe(u"DataWindow.Objects"_s);
        if (!dw.Modify(text).isEmpty())
            QCOMPARE(dw.Describe(u"DataWindow.Objects"_s), before);
        ++runs;
    }
    QVERIFY(runs > 100);
}

QTEST_MAIN(tst_LayoutSyntax)
#include "tst_layoutsyntax.moc"

#include "rowsfixture.h"

#include "rows/fastfilter.h"
#include "rows/sortfilter.h"

#include <QRandomGenerator>
#include <QTest>

using namespace Qt::StringLiterals;
using dw::ColumnType;
using dw::Expression;
using dw::Value;

namespace {

const QStringList names{u"nombre"_s, u"tipo_miembro_red"_s, u"email"_s, u"id"_s, u"monto"_s, u"grado"_s};
const std::vector<ColumnType> types{ColumnType::Char, ColumnType::Char,   ColumnType::Char,
                                    ColumnType::Long, ColumnType::Number, ColumnType::Int};

std::vector<std::vector<Value>> members()
{
    return {
        {Value(u"Ana"_s), Value(u"Miembro del CTA"_s), Value(u"ana@x.mx"_s), Value(15), Value(1.5), Value(3)},
        {Value(u"Dice \"hola\""_s), Value(u"Miembro Externo"_s), Value(), Value(7), Value(), Value(2)},
        {Value(u"Beto"_s), Value(u"Miembro del CTA "_s), Value(u""_s), Value(15), Value(2.0), Value()},
        {Value(u"Carla"_s), Value(), Value(u"c@x.mx"_s), Value(), Value(1.5), Value(3)},
        {Value(u"Darío"_s), Value(u"Miembro del CTA"_s), Value(), Value(22), Value(-4.0), Value(1)},
    };
}

struct Grid : StoredRows
{
    Grid() : StoredRows(names, types, members()) {}

    bool filter(const QString &text)
    {
        if (text.isEmpty()) {
            return dw::filterRows(rows, store, nullptr, context);
        }
        QString error;
        const auto expression = Expression::parse(text, context, &error);
        if (!expression) {
            qWarning("%s", qPrintable(error));
            return false;
        }
        return dw::filterRows(rows, store, &*expression, context);
    }

    QString shown() const
    {
        QStringList names;
        for (long row = 1; row <= rows.rowCount(); ++row)
            names.append(store.value(rows.storeIndex(row), 0).toText().left(4));
        return names.join(u',');
    }
};

} // namespace

class TestFilter : public QObject
{
    Q_OBJECT

private slots:
    // The conditions the grid's commands build, alone and joined, including a value
    // with an escaped double quote; rows whose condition is null are filtered out.
    void keepsTheRowsThatPass_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("compiled");
        QTest::newRow("text equal") << u"( string(tipo_miembro_red) = \"Miembro del CTA\" )"_s
                                    << u"Ana,Darí"_s << true;
        QTest::newRow("text not equal")
            << u"string(tipo_miembro_red) <> \"Miembro del CTA\""_s << u"Dice,Beto"_s << true;
        QTest::newRow("null") << u"isnull(email)"_s << u"Dice,Darí"_s << true;
        QTest::newRow("not null") << u"not isnull(email)"_s << u"Ana,Beto,Carl"_s << true;
        QTest::newRow("number equal") << u"id = 15"_s << u"Ana,Beto"_s << true;
        QTest::newRow("number not equal") << u"id <> 15"_s << u"Dice,Darí"_s << true;
        QTest::newRow("real") << u"monto = 1.5"_s << u"Ana,Carl"_s << true;
        QTest::newRow("negative number as the grid writes it") << u"monto = -4"_s << u"Darí"_s << true;
        QTest::newRow("int column as text") << u"string(grado) = \"3\""_s << u"Ana,Carl"_s << false;
        QTest::newRow("escaped quote") << u"string(nombre) = \"Dice ~\"hola~\"\""_s << u"Dice"_s << true;
        QTest::newRow("empty text is not null") << u"string(email) = \"\""_s << u"Beto"_s << true;
        QTest::newRow("combined") << u"( string(tipo_miembro_red) = \"Miembro del CTA\" ) AND ( id = 15 )"_s
                                  << u"Ana"_s << true;
        QTest::newRow("combined with null")
            << u"( not isnull(email) ) AND ( id <> 15 )"_s << QString() << true;
        QTest::newRow("or") << u"id = 7 or isnull(id)"_s << u"Dice,Carl"_s << true;
        QTest::newRow("literal first") << u"20 < id"_s << u"Darí"_s << true;
        QTest::newRow("upper-cased") << u"ucase(nombre) = \"ANA\" or monto < 0"_s << u"Ana,Darí"_s << true;
        QTest::newRow("upper-cased accent")
            << u"upper(nombre) <> \"DARÍO\""_s << u"Ana,Dice,Beto,Carl"_s << true;
        QTest::newRow("generic") << u"nombre & tipo_miembro_red = \"AnaMiembro del CTA\""_s << u"Ana"_s
                                 << false;
    }

    void keepsTheRowsThatPass()
    {
        QFETCH(QString, filter);
        QFETCH(QString, shown);
        QFETCH(bool, compiled);
        Grid grid;
        const auto expression = Expression::parse(filter, grid.context);
        QVERIFY(expression);
        QCOMPARE(dw::CompiledFilter::compile(expression->root(), grid.store) != nullptr, compiled);
        QVERIFY(grid.filter(filter));
        QCOMPARE(grid.shown(), shown);
        QCOMPARE(grid.rows.rowCount() + grid.rows.filteredCount(), 5);
    }

    // The compiled conditions answer exactly like the evaluator, nulls included, on
    // random rows and random combinations.
    void compiledAgreesWithEvaluation()
    {
        auto *random = QRandomGenerator::global();
        const QStringList texts{u"a"_s, u"b"_s, u"á"_s, u""_s, u"Miembro del CTA"_s};
        std::vector<std::vector<Value>> values;
        for (int i = 0; i < 300; ++i) {
            const auto maybe = [&](Value value) { return random->bounded(4) == 0 ? Value() : value; };
            values.push_back({maybe(Value(texts[random->bounded(int(texts.size()))])), maybe(Value(u"x"_s)),
                              maybe(Value(texts[random->bounded(int(texts.size()))])),
                              maybe(Value(random->bounded(-2, 3))),
                              maybe(Value(random->bounded(-2, 3) / 2.0)), maybe(Value(random->bounded(3)))});
        }
        dw::ColumnStore store(types);
        TableCursor cursor(names, values);
        QCOMPARE(store.appendAll(cursor), 300);
        StoreContext context(names, store);

        const QStringList atoms{u"string(nombre) = \"a\""_s,
                                u"ucase(email) = \"Á\""_s,
                                u"upper(nombre) <> \"B\""_s,
                                u"email <> \"á\""_s,
                                u"isnull(nombre)"_s,
                                u"id = 1"_s,
                                u"id < 0"_s,
                                u"monto >= 0.5"_s,
                                u"monto = 1"_s,
                                u"0 <> id"_s,
                                u"email = \"\""_s,
                                u"id > -1"_s,
                                u"monto <= 0"_s};
        for (int round = 0; round < 400; ++round) {
            QString text = atoms[random->bounded(int(atoms.size()))];
            for (int more = random->bounded(3); more > 0; --more) {
                const QString join = random->bounded(2) ? u" AND "_s : u" or "_s;
                const QString other = atoms[random->bounded(int(atoms.size()))];
                text = random->bounded(2) ? u"( %1 )%2not %3"_s.arg(text, join, other)
                                          : u"%1%2( %3 )"_s.arg(text, join, other);
            }
            const auto expression = Expression::parse(text, context);
            QVERIFY2(expression, qPrintable(text));
            const auto compiled = dw::CompiledFilter::compile(expression->root(), store);
            QVERIFY2(compiled, qPrintable(text));
            for (std::uint32_t index = 0; index < 300; ++index) {
                const Value value = expression->evaluate(context, index);
                const auto expected = value.isNull() ? dw::CompiledFilter::Truth::Unknown
                    : value.toBool()                 ? dw::CompiledFilter::Truth::True
                                                     : dw::CompiledFilter::Truth::False;
                if (compiled->test(index) != expected)
                    QFAIL(qPrintable(u"%1 differs at row %2"_s.arg(text).arg(index)));
            }
        }
    }

    // Every row is evaluated again on each filter; removing the filter brings every row
    // back, in retrieval order for a grid never sorted, and in sort order after a sort.
    void unfilterKeepsEveryRowAndOrder()
    {
        Grid grid;
        QVERIFY(grid.filter(u"id = 15"_s));
        QCOMPARE(grid.shown(), u"Ana,Beto"_s);
        QVERIFY(grid.filter(u"isnull(email)"_s)); // rows come back from the filtered buffer
        QCOMPARE(grid.shown(), u"Dice,Darí"_s);
        QCOMPARE(grid.rows.filtered(), (std::vector<std::uint32_t>{0, 2, 3}));
        QVERIFY(grid.filter(QString()));
        QCOMPARE(grid.shown(), u"Ana,Dice,Beto,Carl,Darí"_s);
        QCOMPARE(grid.rows.filteredCount(), 0);

        const auto keys = dw::parseSortCriteria(u"nombre D"_s, grid.context);
        QVERIFY(keys);
        dw::sortRows(grid.rows, grid.store, *keys, grid.context);
        QCOMPARE(grid.shown(), u"Dice,Darí,Carl,Beto,Ana"_s);
        QVERIFY(grid.filter(u"not isnull(email)"_s));
        QCOMPARE(grid.shown(), u"Carl,Beto,Ana"_s);
        QVERIFY(grid.filter(QString()));
        QCOMPARE(grid.rows.rowCount(), 5);
        dw::sortRows(grid.rows, grid.store, *keys, grid.context);
        QCOMPARE(grid.shown(), u"Dice,Darí,Carl,Beto,Ana"_s);
    }
};

QTEST_GUILESS_MAIN(TestFilter)
#include "tst_filter.moc"

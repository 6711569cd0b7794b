#include "rowsfixture.h"

#include "rows/collation.h"
#include "rows/rankcache.h"
#include "rows/rankwarmer.h"
#include "rows/sortfilter.h"

#include <QCollator>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;
using dw::ColumnType;
using dw::Value;

namespace {

struct Table : StoredRows
{
    using StoredRows::StoredRows;

    bool sort(const QString &criteria, dw::RankCache *cache = nullptr)
    {
        QString error;
        const auto keys = dw::parseSortCriteria(criteria, context, &error);
        if (!keys) {
            qWarning("%s", qPrintable(error));
            return false;
        }
        dw::sortRows(rows, store, *keys, context, cache);
        return true;
    }

    bool filter(const QString &expression)
    {
        const auto parsed = dw::Expression::parse(expression, context);
        return dw::filterRows(rows, store, parsed ? &*parsed : nullptr, context);
    }

    // The shown values of a column, row by row, nulls as "∅".
    QStringList column(int number) const
    {
        QStringList values;
        for (long row = 1; row <= rows.rowCount(); ++row) {
            const Value value = store.value(rows.storeIndex(row), number - 1);
            values.append(value.isNull() ? u"∅"_s : value.toText());
        }
        return values;
    }
};

std::vector<std::vector<Value>> oneColumn(const QStringList &texts)
{
    std::vector<std::vector<Value>> rows;
    for (const QString &text : texts)
        rows.push_back({text == u"∅"_s ? Value() : Value(text)});
    return rows;
}

} // namespace

class TestSort : public QObject
{
    Q_OBJECT

private slots:
    void parsesCriteria_data()
    {
        QTest::addColumn<QString>("criteria");
        QTest::addColumn<QString>("keys"); // column:lookup:direction per key, "-" for an expression; "error"
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("blank") << u"  "_s << QString();
        QTest::newRow("one key") << u"nombre A"_s << u"1:0:A"_s;
        QTest::newRow("no direction") << u"id"_s << u"2:0:A"_s;
        QTest::newRow("any case") << u"NOMBRE d"_s << u"1:0:D"_s;
        QTest::newRow("tab before direction") << u"nombre\tD"_s << u"1:0:D"_s;
        QTest::newRow("two keys") << u"tipo D, nombre A"_s << u"3:0:D 1:0:A"_s;
        QTest::newRow("lookup") << u"LookUpDisplay(tipo) A, id D"_s << u"3:1:A 2:0:D"_s;
        QTest::newRow("lookup spaced") << u"lookupdisplay( tipo )  D"_s << u"3:1:D"_s;
        QTest::newRow("expression") << u"ucase(nombre) D"_s << u"-:0:D"_s;
        QTest::newRow("comma inside text") << u"nombre & ', ' & tipo A"_s << u"-:0:A"_s;
        QTest::newRow("unknown column") << u"apellido A"_s << u"error"_s;
        QTest::newRow("unknown among keys") << u"nombre A, apellido D"_s << u"error"_s;
        QTest::newRow("empty key") << u"nombre A,, id D"_s << u"error"_s;
        QTest::newRow("bad direction") << u"nombre X"_s << u"error"_s;
        QTest::newRow("lookup of nothing") << u"LookUpDisplay(nada) A"_s << u"error"_s;
    }

    void parsesCriteria()
    {
        QFETCH(QString, criteria);
        QFETCH(QString, keys);
        Table table({u"nombre"_s, u"id"_s, u"tipo"_s}, {ColumnType::Char, ColumnType::Long, ColumnType::Char},
                    {});
        QString error;
        const auto parsed = dw::parseSortCriteria(criteria, table.context, &error);
        if (keys == u"error"_s) {
            QVERIFY(!parsed);
            QVERIFY(!error.isEmpty());
            return;
        }
        QVERIFY2(parsed, qPrintable(error));
        QStringList described;
        for (const dw::SortKey &key : *parsed) {
            described.append(u"%1:%2:%3"_s.arg(key.expression ? u"-"_s : QString::number(key.column))
                                 .arg(key.lookupDisplay ? 1 : 0)
                                 .arg(key.ascending ? u"A"_s : u"D"_s));
        }
        QCOMPARE(described.join(u' '), keys);
    }

    // Spanish order as a reader expects it: accents and case decide only between
    // otherwise equal words, ñ is a letter of its own after n, ch and ll are not.
    void sortsTextInSpanishOrder()
    {
        const QStringList expected{u"∅"_s,      u"10"_s,        u"9"_s,      u"Andrés"_s, u"Ángel"_s,
                                   u"árbol"_s,  u"Cervantes"_s, u"Chávez"_s, u"Cruz"_s,   u"Lima"_s,
                                   u"Llamas"_s, u"Luna"_s,      u"nunez"_s,  u"Nunez"_s,  u"Núñez"_s,
                                   u"Nuño"_s,   u"Ñandú"_s,     u"Oso"_s,    u"zapata"_s, u"Zapata"_s};
        QStringList shuffled = expected;
        std::reverse(shuffled.begin(), shuffled.end());
        std::swap(shuffled[3], shuffled[11]);
        Table table({u"nombre"_s}, {ColumnType::Char}, oneColumn(shuffled));
        QVERIFY(table.sort(u"nombre A"_s));
        QCOMPARE(table.column(1), expected);

        QVERIFY(table.sort(u"nombre D"_s));
        QStringList descending = expected;
        std::reverse(descending.begin(), descending.end());
        QCOMPARE(table.column(1), descending); // nulls last
    }

    // The fast keys must agree with QCollator on any text, including texts with
    // characters the key table does not cover (which are sorted by QCollator itself).
    void agreesWithTheCollator_data()
    {
        QTest::addColumn<bool>("beyondTheTable");
        QTest::newRow("Latin letters") << false;
        QTest::newRow("with other characters") << true;
    }

    void agreesWithTheCollator()
    {
        QFETCH(bool, beyondTheTable);
        QString alphabet = u"aAáÁbcCçdeéÉnNñÑoóÓöuúüÜ  -.,'09yz¿¡ºªŁłőČšĐ\t"_s;
        if (beyondTheTable)
            alphabet += u"æßœŀЖ\u0303·"_s; // expansions, contractions, other scripts, a combining tilde
        auto *random = QRandomGenerator::global();
        QStringList texts;
        for (int i = 0; i < 3000; ++i) {
            // Long texts that share their beginnings, so ties past the first characters
            // are decided by the accents and case of later ones.
            QString text = texts.isEmpty() || random->bounded(2) ? QString()
                                                                 : texts[random->bounded(int(texts.size()))];
            text.truncate(random->bounded(int(text.size()) + 1));
            const int length = random->bounded(1, 12);
            for (int j = 0; j < length; ++j)
                text += alphabet[random->bounded(int(alphabet.size()))];
            texts.append(text);
        }
        Table table({u"nombre"_s}, {ColumnType::Char}, oneColumn(texts));
        QVERIFY(table.sort(u"nombre A"_s));

        const QCollator collator = dw::SpanishCollation::collator();
        QStringList expected = texts;
        std::stable_sort(expected.begin(), expected.end(),
                         [&](const QString &a, const QString &b) { return collator.compare(a, b) < 0; });
        const QStringList sorted = table.column(1);
        for (qsizetype i = 0; i < expected.size(); ++i) {
            if (sorted[i] != expected[i] && collator.compare(sorted[i], expected[i]) != 0)
                QFAIL(qPrintable(u"row %1: \"%2\" where the collator puts \"%3\""_s.arg(i + 1).arg(
                    sorted[i], expected[i])));
        }
    }

    // Several keys, numbers by value, nulls first ascending, stable among equal keys.
    void sortsByKeysNumbersAndNulls()
    {
        Table table({u"nombre"_s, u"id"_s, u"monto"_s, u"grupo"_s},
                    {ColumnType::Char, ColumnType::Long, ColumnType::Number, ColumnType::Char},
                    {
                        {Value(u"e"_s), Value(10), Value(2.5), Value(u"B"_s)},
                        {Value(u"b"_s), Value(9), Value(-1.0), Value(u"A"_s)},
                        {Value(u"d"_s), Value(), Value(10.0), Value(u"B"_s)},
                        {Value(u"a"_s), Value(-3), Value(), Value(u"A"_s)},
                        {Value(u"c"_s), Value(100), Value(2.5), Value()},
                        {Value(u"f"_s), Value(9), Value(-1.0), Value(u"A"_s)},
                    });
        QVERIFY(table.sort(u"id A"_s));
        QCOMPARE(table.column(1), (QStringList{u"d"_s, u"a"_s, u"b"_s, u"f"_s, u"e"_s, u"c"_s}));
        QVERIFY(table.sort(u"monto D"_s));
        QCOMPARE(table.column(1), (QStringList{u"d"_s, u"e"_s, u"c"_s, u"b"_s, u"f"_s, u"a"_s}));
        QVERIFY(table.sort(u"grupo A, monto D, nombre D"_s));
        QCOMPARE(table.column(1), (QStringList{u"c"_s, u"f"_s, u"b"_s, u"a"_s, u"d"_s, u"e"_s}));
        // Equal keys keep the order the rows had: "b" and "f" stay as the last sort left them.
        QVERIFY(table.sort(u"nombre D"_s));
        QVERIFY(table.sort(u"grupo D"_s));
        QCOMPARE(table.column(1), (QStringList{u"e"_s, u"d"_s, u"f"_s, u"b"_s, u"a"_s, u"c"_s}));
        // An expression key: by its value, numbers numerically.
        QVERIFY(table.sort(u"0 - id A"_s));
        QCOMPARE(table.column(1), (QStringList{u"d"_s, u"c"_s, u"e"_s, u"f"_s, u"b"_s, u"a"_s}));
        // No keys: back to retrieval order.
        QVERIFY(table.sort(QString()));
        QCOMPARE(table.column(1), (QStringList{u"e"_s, u"b"_s, u"d"_s, u"a"_s, u"c"_s, u"f"_s}));
    }

    // Ranks kept from earlier sorts cover every stored row, visible or filtered out;
    // whatever the user did before, a sort with them gives exactly the order a sort
    // ranking the visible rows afresh gives.
    void cachedRanksSortLikeFreshOnes()
    {
        auto *random = QRandomGenerator::global();
        const QStringList names{u"Núñez"_s,  u"Nunez"_s,  u"Ángel"_s, u"ángel"_s, u"Zapata"_s,
                                u"Łukasz"_s, u"Chávez"_s, u"Œuvre"_s, u""_s,      u"∅"_s};
        std::vector<std::vector<Value>> values;
        for (int i = 0; i < 3000; ++i) {
            const QString name = names[random->bounded(int(names.size()))];
            const Value id = random->bounded(10) == 0 ? Value() : Value(random->bounded(-50, 50));
            const Value amount = random->bounded(10) == 0 ? Value() : Value(random->bounded(100) / 4.0);
            values.push_back({name == u"∅"_s ? Value() : Value(name + QString::number(random->bounded(30))),
                              id, amount, Value(random->bounded(4))});
        }
        const QStringList columns{u"nombre"_s, u"id"_s, u"monto"_s, u"grupo"_s};
        const std::vector<ColumnType> types{ColumnType::Char, ColumnType::Long, ColumnType::Number,
                                            ColumnType::Long};
        Table cached(columns, types, values);
        Table fresh(columns, types, values);
        // Its cache is filled on a second thread while the sorts run beside it.
        Table warmed(columns, types, values);
        cached.context.displays[4] = {{u"0"_s, u"Ñu"_s}, {u"1"_s, u"Nube"_s}, {u"2"_s, u"abeto"_s}};
        fresh.context.displays[4] = cached.context.displays[4];
        warmed.context.displays[4] = cached.context.displays[4];
        dw::RankCache cache;
        dw::RankCache warmCache;
        dw::RankWarmer warmer;
        warmer.start(warmed.store, warmCache, {1, 2, 3, 4});

        const auto step = [&](const QString &what, bool sorting) {
            if (sorting) {
                QVERIFY(cached.sort(what, &cache));
                QVERIFY(fresh.sort(what));
                QVERIFY(warmed.sort(what, &warmCache));
            } else {
                QVERIFY(cached.filter(what));
                QVERIFY(fresh.filter(what));
                QVERIFY(warmed.filter(what));
            }
            QVERIFY2(cached.rows.primary() == fresh.rows.primary(), qPrintable(what));
            QVERIFY2(cached.rows.filtered() == fresh.rows.filtered(), qPrintable(what));
            QVERIFY2(warmed.rows.primary() == fresh.rows.primary(), qPrintable(what));
        };
        step(u"nombre A"_s, true);
        step(u"id D"_s, true);
        step(u"nombre A"_s, true); // back to a column ranked before
        step(u"grupo = 1 or isnull(id)"_s, false);
        step(u"nombre D"_s, true);
        step(u"monto A, nombre D"_s, true);
        step(u"LookUpDisplay(grupo) D, id A"_s, true);
        step(u"id = 7"_s, false); // a handful of rows against ranks of all of them
        step(u"nombre A, monto D"_s, true);
        step(QString(), false);
        step(u"grupo A, nombre A"_s, true);
        step(u"0 - id D, nombre D"_s, true); // an expression key next to a kept one
        QVERIFY(!cache.empty());
        warmer.finish();
        for (int column = 1; column <= 4; ++column)
            QVERIFY(warmCache.has(column, false));
        // Sorts after it read only the ranks it made, one column's for each column.
        step(u"id A"_s, true);
        step(u"monto D, nombre A"_s, true);
        step(u"grupo D, id D"_s, true);

        // A change of what a column displays drops the ranks of displayed texts only.
        QVERIFY(warmCache.has(4, true));
        warmCache.clearDisplayed();
        QVERIFY(!warmCache.has(4, true) && warmCache.has(4, false));
    }

    // Ranking on a second thread gives up when asked and leaves nothing half made, so a
    // sort after it makes the ranks itself; elsewhere the same ranking runs to its end.
    void rankingGivesUpWhenStopped()
    {
        std::vector<QByteArray> texts;
        std::vector<std::uint32_t> indexes;
        for (std::uint32_t i = 0; i < 40000; ++i) {
            texts.push_back("n" + QByteArray::number(39999 - i));
            indexes.push_back(i);
        }
        const dw::TextOf textOf = [&](std::uint32_t index) -> std::optional<std::string_view> {
            return std::string_view(texts[index].constData(), std::size_t(texts[index].size()));
        };
        std::stop_source stopped;
        stopped.request_stop();
        {
            const dw::RankingStopScope scope(stopped.get_token());
            QVERIFY_THROWS_EXCEPTION(dw::RankingStopped, (void)dw::rankTexts(indexes, texts.size(), textOf));
        }
        QCOMPARE(dw::rankTexts(indexes, texts.size(), textOf).highest, 40000U);

        std::vector<std::vector<Value>> values;
        for (std::uint32_t i = 0; i < 40000; ++i)
            values.push_back({Value(QString::fromLatin1(texts[i]))});
        Table table({u"nombre"_s}, {ColumnType::Char}, values);
        dw::RankCache cache;
        {
            dw::RankWarmer warmer;
            warmer.start(table.store, cache, {1});
            warmer.stop();
        }
        QVERIFY(table.sort(u"nombre D"_s, &cache)); // neither waits forever nor finds half ranks
        QCOMPARE(table.store.value(table.rows.primary().front(), 0), Value(u"n9999"_s));
        QVERIFY(cache.has(1, false));
    }

    // LookUpDisplay sorts by the text the user sees, asking for it once per stored value.
    void sortsByDisplayedText()
    {
        std::vector<std::vector<Value>> values;
        const QStringList codes{u"3"_s, u"1"_s, u"2"_s, u"3"_s, u"∅"_s, u"1"_s, u"9"_s};
        for (qsizetype i = 0; i < codes.size(); ++i)
            values.push_back({codes[i] == u"∅"_s ? Value() : Value(codes[i].toInt()), Value(int(i))});
        Table table({u"tutor"_s, u"orden"_s}, {ColumnType::Long, ColumnType::Long}, values);
        table.context.displays[1] = {{u"1"_s, u"Zúñiga"_s}, {u"2"_s, u"Álvarez"_s}, {u"3"_s, u"Méndez"_s}};

        QVERIFY(table.sort(u"LookUpDisplay(tutor) A"_s));
        QCOMPARE(table.column(2), (QStringList{u"4"_s, u"6"_s, u"2"_s, u"0"_s, u"3"_s, u"1"_s, u"5"_s}));
        QCOMPARE(table.context.lookupCalls, 4); // four distinct stored values
        QVERIFY(table.sort(u"tutor A"_s)); // by the stored code
        QCOMPARE(table.column(2), (QStringList{u"4"_s, u"1"_s, u"5"_s, u"2"_s, u"0"_s, u"3"_s, u"6"_s}));

        // A code table on a text column, descending: the displayed texts decide.
        Table levels({u"nivel"_s}, {ColumnType::Char}, oneColumn({u"C"_s, u"A"_s, u"B"_s, u"∅"_s, u"A"_s}));
        levels.context.displays[1]
            = {{u"A"_s, u"Candidato"_s}, {u"B"_s, u"Nivel I"_s}, {u"C"_s, u"Emérito"_s}};
        QVERIFY(levels.sort(u"LookUpDisplay(nivel) D"_s));
        QCOMPARE(levels.column(1), (QStringList{u"B"_s, u"C"_s, u"A"_s, u"A"_s, u"∅"_s}));
    }
};

QTEST_GUILESS_MAIN(TestSort)
#include "tst_sort.moc"

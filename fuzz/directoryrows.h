#pragma once

// A few members of the directory in a column store, with a context that answers
// Describe of the filter and Evaluate the way the data window does: what the
// expression and sort targets evaluate against.

#include "objects/layoutsyntax.h"
#include "rowsfixture.h"

#include <QHash>

#include <optional>

class DirectoryContext final : public StoreContext
{
public:
    using StoreContext::StoreContext;

    QString filter;

    QString describe(const QString &path) const override
    {
        if (path.compare(QStringLiteral("datawindow.table.filter"), Qt::CaseInsensitive) == 0)
            return filter;
        if (!path.startsWith(QStringLiteral("Evaluate("), Qt::CaseInsensitive))
            return QStringLiteral("!");
        dw::syntax::Scanner scanner(QStringView(path).mid(9));
        const auto text = scanner.value();
        if (!text || !scanner.accept(u','))
            return QStringLiteral("!");
        // Parsed once per text, as the data window does.
        auto found = m_parsed.find(*text);
        if (found == m_parsed.end())
            found = m_parsed.insert(*text, dw::Expression::parse(*text, *this));
        if (!*found)
            return QStringLiteral("!");
        return (*found)->evaluate(*this, 0).toText();
    }

    void forget() const { m_parsed.clear(); }

private:
    mutable QHash<QString, std::optional<dw::Expression>> m_parsed;
};

struct DirectoryRows
{
    DirectoryRows() : store(types()), context(names(), store)
    {
        using dw::Value;
        TableCursor cursor(
            names(),
            {{Value(qint64(1)), Value(QStringLiteral("Ana Pérez")), Value(QStringLiteral("Investigador")),
              Value(QStringLiteral("ana@unam.mx")), Value(2.5)},
             {Value(qint64(2)), Value(QStringLiteral("José O'Farrill")), Value(QStringLiteral("Estudiante")),
              Value(), Value(-1e308)},
             {Value(qint64(3)), Value(QStringLiteral("ÑANDÚ")), Value(QStringLiteral("Externo")),
              Value(QStringLiteral("")), Value(1e308)}});
        if (store.appendAll(cursor) < 0)
            __builtin_trap();
        rows.reset(store.size());
    }

    static QStringList names()
    {
        return {QStringLiteral("id"), QStringLiteral("nombre"), QStringLiteral("tipo_miembro_red"),
                QStringLiteral("email"), QStringLiteral("puntaje")};
    }
    static std::vector<dw::ColumnType> types()
    {
        return {dw::ColumnType::Long, dw::ColumnType::Char, dw::ColumnType::Char, dw::ColumnType::Char,
                dw::ColumnType::Number};
    }

    dw::ColumnStore store;
    DirectoryContext context;
    dw::RowSet rows;
};

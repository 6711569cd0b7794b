#include "sql/selectdefinition.h"

#include "sql/sqlexpression.h"

namespace dw {

using namespace Qt::StringLiterals;

namespace {

int argumentIndex(const SelectDefinition &select, const QString &name)
{
    for (std::size_t i = 0; i < select.arguments.size(); ++i) {
        if (select.arguments[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

bool isTextType(const QString &type)
{
    const QString lower = type.trimmed().toLower();
    return lower.startsWith(u"string"_s) || lower.startsWith(u"char"_s) || lower == u"text"_s;
}

} // namespace

std::optional<RenderedSelect> renderSelect(const SelectDefinition &select, Dialect dialect, QString *error)
{
    if (select.isEmpty()) {
        if (error)
            *error = u"the layout has no select definition"_s;
        return std::nullopt;
    }
    std::vector<QString> names;
    QString sql = u"SELECT "_s;
    for (std::size_t i = 0; i < select.columns.size(); ++i) {
        if (i)
            sql += u", "_s;
        const SelectColumn &column = select.columns[i];
        if (column.compute.isEmpty()) {
            sql += column.dbName;
            continue;
        }
        auto rendered = sql::renderAccess(column.compute, names, error);
        if (!rendered)
            return std::nullopt;
        sql += *rendered;
    }
    sql += u" FROM "_s + select.table;
    if (!select.where.trimmed().isEmpty()) {
        auto rendered = sql::renderAccess(select.where.trimmed(), names, error);
        if (!rendered)
            return std::nullopt;
        sql += u" WHERE "_s + *rendered;
    }
    RenderedSelect result{sql, {}};
    for (const QString &name : names) {
        const int index = argumentIndex(select, name);
        if (index < 0) {
            if (error)
                *error = u"unknown retrieval argument ':%1'"_s.arg(name);
            return std::nullopt;
        }
        result.parameters.push_back(index);
    }
    if (dialect == Dialect::Access)
        return result;
    auto translated = translateSelect(result.sql, result.parameters, dialect, error);
    if (!translated)
        return std::nullopt;
    return RenderedSelect{translated->sql, translated->parameters};
}

std::optional<RenderedSelect> translateSelect(const QString &accessSql, const std::vector<int> &parameters,
                                              Dialect dialect, QString *error, bool foldsAccents)
{
    std::vector<int> markers;
    auto sql = sql::translateStatement(accessSql, dialect, markers, error, foldsAccents);
    if (!sql)
        return std::nullopt;
    RenderedSelect result{*sql, {}};
    result.parameters.reserve(markers.size());
    // A marker the layout did not write (one added in the preview) binds nothing.
    for (const int marker : markers)
        result.parameters.push_back(std::size_t(marker) < parameters.size() ? parameters[std::size_t(marker)]
                                                                            : -1);
    return result;
}

std::vector<Value> bindArguments(const SelectDefinition &select, const RenderedSelect &rendered,
                                 const std::vector<Value> &arguments)
{
    std::vector<Value> values;
    values.reserve(rendered.parameters.size());
    for (const int index : rendered.parameters) {
        const Value given
            = index >= 0 && std::size_t(index) < arguments.size() ? arguments[std::size_t(index)] : Value();
        if (given.isNull()) {
            values.emplace_back();
        } else if (isTextType(select.arguments[std::size_t(index)].type)) {
            values.emplace_back(given.toText());
        } else if (given.isText()) {
            const double number = given.toNumber();
            if (number == double(qint64(number)))
                values.emplace_back(qint64(number));
            else
                values.emplace_back(number);
        } else {
            values.push_back(given);
        }
    }
    return values;
}

} // namespace dw

// The data window: layout, Describe, Modify and what the views read. Retrieval and
// rows are in datawindow_rows.cpp.

#include "datawindow_p.h"

#include "objects/attributeschema.h"
#include "objects/displayformat.h"
#include "objects/layoutpaths.h"
#include "objects/layoutsyntax.h"

#include <QFile>
#include <QStringList>

namespace dw {

using namespace Qt::StringLiterals;

DataWindow::DataWindow() : d(std::make_unique<Impl>(*this)) {}

DataWindow::~DataWindow() = default;

void DataWindow::setObserver(DataWindowObserver *observer)
{
    d->observer = observer;
}

// --- layout ---------------------------------------------------------------------------

bool DataWindow::setDataObject(const QString &name)
{
    if (name.isEmpty()) {
        d->clearLayout();
        d->notifyLayout();
        d->notifyRows();
        return true;
    }
    QFile file(u":/layouts/"_s + name + u".dwl"_s);
    if (!file.open(QIODevice::ReadOnly) || !setSyntax(QString::fromUtf8(file.readAll()))) {
        d->clearLayout();
        d->notifyLayout();
        d->notifyRows();
        return false;
    }
    d->dataObject = name;
    return true;
}

QString DataWindow::dataObject() const
{
    return d->dataObject;
}

bool DataWindow::setSyntax(const QString &syntax, QString *error)
{
    d->clearLayout();
    auto items = syntax::parseLayout(syntax, error);
    auto layout = items ? Layout::fromItems(*items, error) : std::nullopt;
    bool ok = layout.has_value();
    if (ok) {
        d->layout = std::move(*layout);
        QString problem;
        // The designed criteria are read like any the program sets later.
        auto sort = d->parseSort(d->layout.designedSort, &problem);
        std::optional<Expression> filter;
        if (sort && !d->layout.designedFilter.trimmed().isEmpty()) {
            filter = Expression::parse(d->layout.designedFilter, *d, &problem);
            if (!filter)
                problem = u"filter: "_s + problem;
        }
        ok = sort && (filter || d->layout.designedFilter.trimmed().isEmpty());
        if (ok) {
            d->setSort(std::move(*sort));
            d->setFilter(d->layout.designedFilter.trimmed(), std::move(filter));
        } else {
            if (error)
                *error = problem;
            d->clearLayout();
        }
    }
    d->notifyLayout();
    d->notifyRows();
    return ok;
}

void DataWindow::Impl::clearLayout()
{
    dataObject.clear();
    layout = Layout{};
    sortKeys.clear();
    sortText.clear();
    filter.reset();
    filterText.clear();
    dropDowns.clear();
    clearRows();
    resetDerivedCaches();
}

void DataWindow::Impl::resetDerivedCaches()
{
    codeTables.clear();
    expressions.clear();
}

void DataWindow::Impl::notifyLayout() const
{
    if (observer)
        observer->layoutChanged();
}

void DataWindow::Impl::notifyRows() const
{
    if (observer)
        observer->rowsChanged();
}

QWidget *DataWindow::Impl::dialogParent() const
{
    return observer ? observer->dialogParent() : nullptr;
}

// --- Describe -------------------------------------------------------------------------

namespace {

// Splits Describe's argument at blanks outside quotes and parentheses, so that
// "Evaluate('a & b', 3)" stays one path.
QStringList describePaths(const QString &text)
{
    QStringList paths;
    QString current;
    int depth = 0;
    QChar quote;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!quote.isNull()) {
            current += c;
            if (c == u'~' && i + 1 < text.size())
                current += text[++i];
            else if (c == quote)
                quote = QChar();
            continue;
        }
        if (c.isSpace() && depth == 0) {
            if (!current.isEmpty())
                paths.append(current);
            current.clear();
            continue;
        }
        if (c == u'\'' || c == u'"')
            quote = c;
        else if (c == u'(')
            ++depth;
        else if (c == u')' && depth > 0)
            --depth;
        current += c;
    }
    if (!current.isEmpty())
        paths.append(current);
    return paths;
}

} // namespace

QString DataWindow::Describe(const QString &paths) const
{
    QStringList answers;
    for (const QString &path : describePaths(paths)) {
        const QString lower = path.toLower();
        if (lower.startsWith(u"evaluate("_s)) {
            syntax::Scanner scanner(QStringView(path).mid(9));
            const auto text = scanner.value();
            const bool comma = scanner.accept(u',');
            bool numeric = false;
            const long row = scanner.word().toLong(&numeric);
            if (!text || !comma || !numeric || !scanner.accept(u')') || !scanner.atEnd()) {
                answers.append(u"!"_s);
                continue;
            }
            bool ok = false;
            const Value value = d->evaluate(*text, d->indexOf(row), &ok);
            answers.append(ok ? (value.isNull() ? u""_s : value.toText()) : u"!"_s);
        } else if (lower == u"datawindow.table.sort") {
            answers.append(d->sortText);
        } else if (lower == u"datawindow.table.filter") {
            answers.append(d->filterText.isEmpty() ? u"?"_s : d->filterText);
        } else if (lower == u"datawindow.table.select") {
            answers.append(selectSql());
        } else {
            answers.append(describeLayout(d->layout, path));
        }
    }
    return answers.join(u'\n');
}

// --- Modify ---------------------------------------------------------------------------

QString DataWindow::Modify(const QString &commands)
{
    Layout working = d->layout;
    ModifyOutcome outcome;
    QString error = applyModify(working, commands, outcome);
    if (!error.isEmpty())
        return error;

    // Criteria are checked before anything is committed.
    std::optional<Impl::Criteria> sort;
    std::optional<Expression> filter;
    if (outcome.sort) {
        sort = d->parseSort(*outcome.sort, &error);
        if (!sort)
            return u"DataWindow.Table.Sort: "_s + error;
    }
    if (outcome.filter && !outcome.filter->trimmed().isEmpty()) {
        filter = Expression::parse(*outcome.filter, *d, &error);
        if (!filter)
            return u"DataWindow.Table.Filter: "_s + error;
    }

    d->layout = std::move(working);
    d->codeTables.clear();
    d->rankCache.clearDisplayed(); // what a column displays may have changed, not what it holds
    if (sort)
        d->setSort(std::move(*sort));
    if (outcome.filter)
        d->setFilter(outcome.filter->trimmed(), std::move(filter));
    d->notifyLayout();
    return {};
}

int DataWindow::SetPosition(const QString &object, const QString &band, bool toFront)
{
    const int index = d->layout.objectIndex(object);
    if (index < 0 || (!band.isEmpty() && !bandFromName(band)))
        return -1;
    auto &objects = d->layout.objects;
    LayoutObject moved = std::move(objects[std::size_t(index)]);
    objects.erase(objects.begin() + index);
    if (!band.isEmpty())
        setAttribute(moved, u"band"_s, bandName(*bandFromName(band)));
    if (toFront)
        objects.push_back(std::move(moved));
    else
        objects.insert(objects.begin(), std::move(moved));
    d->notifyLayout();
    return 1;
}

// --- what the views read --------------------------------------------------------------

QString DataWindow::presentation() const
{
    return d->layout.presentation();
}

int DataWindow::bandHeight(Band band) const
{
    return d->layout.bandHeight(band);
}

const std::vector<LayoutObject> &DataWindow::objects() const
{
    return d->layout.objects;
}

QString DataWindow::attribute(const LayoutObject &object, const QString &path, long row) const
{
    const QString *raw = findAttribute(object, path);
    const QString lower = raw ? path : path.toLower();
    if (!raw)
        raw = findAttribute(object, lower);
    if (!raw) {
        const auto fallback = schema::objectDefault(object.kind, lower);
        return fallback && *fallback != u"?" ? *fallback : u""_s;
    }
    const QString expression = expressionPart(*raw);
    if (expression.isEmpty())
        return *raw;
    bool ok = false;
    const Value value = d->evaluate(expression, d->indexOf(row), &ok);
    return ok && !value.isNull() ? value.toText() : defaultPart(*raw);
}

QString DataWindow::objectText(const LayoutObject &object, long row) const
{
    if (object.kind == u"text")
        return attribute(object, u"text"_s, row);
    if (object.kind == u"column")
        return displayText(row, d->layout.columnOf(object));
    if (object.kind == u"compute") {
        bool ok = false;
        const Value value = d->evaluate(object.raw(u"expression"_s), d->indexOf(row), &ok);
        return ok ? formatValue(value, attribute(object, u"format"_s, row)) : u"!"_s;
    }
    return {};
}

Band DataWindow::bandOf(const LayoutObject &object) const
{
    return bandFromName(defaultPart(object.raw(u"band"_s))).value_or(Band::Detail);
}

int DataWindow::columnCount() const
{
    return int(d->layout.columns.size());
}

int DataWindow::columnNumber(const QString &name) const
{
    return d->layout.columnNumber(name);
}

QString DataWindow::columnName(int column) const
{
    if (column < 1 || column > columnCount())
        return {};
    return d->layout.columns[std::size_t(column - 1)].name;
}

// --- expressions ----------------------------------------------------------------------

const Expression *DataWindow::Impl::expression(const QString &text) const
{
    auto found = expressions.constFind(text);
    if (found == expressions.constEnd()) {
        auto parsed = std::make_shared<const std::optional<Expression>>(Expression::parse(text, *this));
        found = expressions.insert(text, std::move(parsed));
    }
    const std::optional<Expression> &parsed = **found;
    return parsed ? &*parsed : nullptr;
}

Value DataWindow::Impl::evaluate(const QString &text, qint64 index, bool *ok) const
{
    const Expression *parsed = expression(text);
    bool overBudget = false;
    const Value value = parsed ? parsed->evaluate(*this, index, &overBudget) : Value();
    if (ok)
        *ok = parsed && !overBudget;
    return value;
}

} // namespace dw

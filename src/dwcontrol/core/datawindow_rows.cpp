// The data window: retrieval, rows, selection, sort and filter, displayed values.

#include "datawindow_p.h"

#include "db/connectstring.h"
#include "db/transaction.h"
#include "interaction.h"
#include "objects/displayformat.h"
#include "objects/layoutpaths.h"
#include "rows/distinctvalues.h"
#include "sql/selectdefinition.h"

#include <QScopeGuard>

#include <algorithm>
#include <numeric>

namespace dw {

using namespace Qt::StringLiterals;

namespace {

const QString kDatabaseErrorTitle = u"Error de base de datos"_s;

std::vector<ColumnType> columnTypes(const Layout &layout)
{
    std::vector<ColumnType> types;
    types.reserve(layout.columns.size());
    for (const TableColumn &column : layout.columns)
        types.push_back(column.columnType);
    return types;
}

// The observer hears of a retrieval's progress through the connection while its
// statement runs, and only then: the connection is shared with other data windows.
class HeartbeatScope
{
public:
    explicit HeartbeatScope(std::function<void()> heartbeat) : m_heartbeat(std::move(heartbeat)) {}
    ~HeartbeatScope() { detach(); }
    HeartbeatScope(const HeartbeatScope &) = delete;
    HeartbeatScope &operator=(const HeartbeatScope &) = delete;

    void attach(Connection &connection)
    {
        detach();
        m_connection = &connection;
        m_connection->setHeartbeat(m_heartbeat);
    }
    void detach()
    {
        if (m_connection)
            m_connection->setHeartbeat({});
        m_connection = nullptr;
    }

private:
    std::function<void()> m_heartbeat;
    Connection *m_connection = nullptr;
};

} // namespace

QString lookupKey(const Value &value)
{
    if (value.isNull())
        return {};
    if (value.isNumber())
        return Value(value.toNumber()).toText();
    const QString text = value.toText();
    bool numeric = false;
    const double number = text.trimmed().toDouble(&numeric);
    return numeric ? Value(number).toText() : text;
}

// --- transaction and retrieval --------------------------------------------------------

int DataWindow::SetTransObject(Transaction *transaction)
{
    d->transaction = transaction;
    return transaction ? 1 : -1;
}

Transaction *DataWindow::transObject() const
{
    return d->transaction;
}

QString DataWindow::selectSql() const
{
    const auto rendered = renderSelect(d->layout.select, Dialect::Access);
    return rendered ? rendered->sql : QString();
}

int DataWindow::SetSQLPreview(const QString &sql)
{
    if (!d->inPreview)
        return -1;
    d->previewSql = sql;
    return 1;
}

void DataWindow::Impl::reportDatabaseError(long code, const QString &text) const
{
    interaction().messageBox(
        dialogParent(), kDatabaseErrorTitle,
        u"%1: %2"_s.arg(code).arg(withoutPassword(
            text, transaction ? Transaction::connectString(transaction->DBParm) : QString())));
}

void DataWindow::Impl::clearRows()
{
    rankWarmer.stop(); // it reads the rows
    store = ColumnStore();
    rows.reset(0);
    rankCache.clear();
    currentRow = 0;
    currentIsFirst = true;
    ++rowsGeneration;
    for (auto &[column, dropDown] : dropDowns) {
        dropDown.displayByData.clear();
        dropDown.indexed = false;
    }
}

long DataWindow::Retrieve(const std::vector<Value> &arguments)
{
    if (d->retrieving)
        return -1; // the rows being read belong to the retrieval under way
    d->retrieving = true;
    d->stopRequested = false;
    d->stopped = false;
    const auto done = qScopeGuard([this] {
        d->retrieving = false;
        d->stopRequested = false;
    });

    Connection *connection = d->transaction ? d->transaction->connection() : nullptr;
    // A server that went away is asked again at every retrieval until it answers.
    if (!connection && d->transaction && d->transaction->reconnectIfLost())
        connection = d->transaction->connection();
    // A retrieval that fails leaves the rows of the last one as they were: they are still
    // the best the user has, and the error says why nothing new came.
    if (!connection) {
        if (d->transaction && d->transaction->linkLost())
            d->reportDatabaseError(d->transaction->SQLDBCode, d->transaction->SQLErrText);
        else
            d->reportDatabaseError(-1, u"No hay conexión con la base de datos."_s);
        d->notifyRows();
        return -1;
    }
    // The preview sees the statement as the program writes it (the Access dialect); what
    // it hands back is translated once for the database behind the connection.
    QString problem;
    const auto written = renderSelect(d->layout.select, Dialect::Access, &problem);
    if (!written) {
        d->reportDatabaseError(-1, problem);
        d->notifyRows();
        return -1;
    }

    d->previewSql = written->sql;
    d->inPreview = true;
    if (d->observer)
        d->observer->sqlPreview(0, 1, written->sql, 0, 0);
    d->inPreview = false;

    const auto sent = translateSelect(d->previewSql, written->parameters, connection->dialect(), &problem,
                                      connection->foldsAccents());
    if (!sent) {
        d->reportDatabaseError(-1, problem);
        d->notifyRows();
        return -1;
    }
    const std::vector<Value> parameters = bindArguments(d->layout.select, *sent, arguments);
    // While the driver works on the statement nothing may use the connection; between two
    // batches of rows the user may act, and may ask the reading to stop.
    const auto heartbeat = [this] {
        if (d->observer)
            d->observer->retrieving(false);
    };
    HeartbeatScope beating(heartbeat);
    beating.attach(*connection);
    DbError error;
    std::unique_ptr<Cursor> cursor = connection->query(sent->sql, parameters, error);
    // A connection the server dropped is made again once, and the statement sent again.
    if (!cursor) {
        beating.detach(); // before a new connection replaces this one
        if (d->transaction->reconnectIfLost()) {
            connection = d->transaction->connection();
            beating.attach(*connection);
            cursor = connection->query(sent->sql, parameters, error);
        }
    }
    if (!cursor) {
        d->reportDatabaseError(error.code, error.text);
        d->notifyRows();
        return -1;
    }
    const int wanted = int(d->layout.columns.size());
    if (cursor->columnCount() < wanted) {
        d->reportDatabaseError(
            -1,
            u"La consulta devuelve %1 columnas y el objeto espera %2."_s.arg(cursor->columnCount())
                .arg(wanted));
        d->notifyRows();
        return -1;
    }
    // The rows of the last retrieval stay aside while the new ones arrive (and show), and
    // come back when the reading fails half-way.
    d->rankWarmer.stop(); // it reads the rows
    ColumnStore previousStore = std::move(d->store);
    RowSet previousRows = std::move(d->rows);
    const long previousRow = d->currentRow;
    const bool previousFirst = d->currentIsFirst;
    d->clearRows();
    d->store = ColumnStore(columnTypes(d->layout));
    d->reading = true;
    d->lastArrival.reset();
    qint64 appended = -1;
    try {
        appended = d->store.appendAll(*cursor, [&] {
            d->rowsArriving();
            if (d->observer)
                d->observer->retrieving(true);
            return !d->stopRequested;
        });
    } catch (...) {
        d->reading = false;
        throw;
    }
    d->reading = false;
    beating.detach();
    if (appended < 0) {
        const DbError *failure = cursor->error();
        d->clearRows();
        d->store = std::move(previousStore);
        d->rows = std::move(previousRows);
        d->currentRow = previousRow;
        d->currentIsFirst = previousFirst;
        d->reportDatabaseError(failure ? failure->code : -1,
                               failure ? failure->text : u"La lectura de filas falló."_s);
        d->notifyRows();
        return -1;
    }
    d->stopped = d->stopRequested;
    cursor.reset();
    previousStore = ColumnStore();

    d->rows.reset(d->store.size());
    d->retrieveDropDowns();
    if (d->filter)
        d->applyFilter();
    if (!d->sortKeys.empty())
        sortRows(d->rows, d->store, d->sortKeys, *d, &d->rankCache);
    d->currentRow = RowCount() > 0 ? 1 : 0;
    d->warmRanks();
    // Rows shown as they arrived keep their places unless a sort or a filter moves them now.
    if (d->filter || !d->sortKeys.empty())
        ++d->rowsGeneration;
    d->notifyRows();
    if (d->observer)
        d->observer->retrieveEnd(RowCount());
    return RowCount();
}

void DataWindow::Impl::rowsArriving()
{
    using namespace std::chrono_literals;
    const auto now = std::chrono::steady_clock::now();
    if (lastArrival && now - *lastArrival < 100ms)
        return;
    lastArrival = now;
    // Shown in the order they come, also under a sort: ordering a growing listing again at
    // every batch would cost the reading more than it shows, and move the rows under the
    // user's eyes; the sort orders them once they are all there. A filter in force waits
    // for every row, so no row shows that it would hide.
    if (!filter) {
        rows.extendTo(store.size());
        currentRow = std::max(currentRow, rows.rowCount() > 0 ? 1L : 0L);
    }
    notifyRows();
}

void DataWindow::Impl::warmRanks()
{
    // Columns shown as their stored values; drop-down and code-table columns sort by a
    // display text that only this thread can look up.
    std::vector<int> columns;
    for (int column = 1; column <= store.columnCount(); ++column) {
        if (columnObject(column) && !isDropDown(column) && !hasCodeTable(column)
            && !rankCache.has(column, false))
            columns.push_back(column);
    }
    if (!columns.empty() && store.size() > 0)
        rankWarmer.start(store, rankCache, std::move(columns));
}

void DataWindow::finishPreparingSorts()
{
    d->rankWarmer.finish();
}

void DataWindow::Impl::retrieveDropDowns()
{
    for (int column = 1; column <= int(layout.columns.size()); ++column) {
        if (!isDropDown(column)) {
            dropDowns.erase(column);
            continue;
        }
        const LayoutObject *object = columnObject(column);
        const QString name = defaultPart(object->raw(u"dddw.name"_s));
        DropDown &dropDown = dropDowns[column];
        if (!dropDown.child || dropDown.child->dataObject().compare(name, Qt::CaseInsensitive) != 0) {
            dropDown.child = std::make_unique<DataWindow>();
            if (!dropDown.child->setDataObject(name))
                continue; // a missing child layout: values show as they are stored
        }
        dropDown.child->SetTransObject(transaction);
        (void)dropDown.child->Retrieve();
        dropDown.displayByData.clear();
        dropDown.indexed = false;
    }
}

// --- lookups --------------------------------------------------------------------------

const LayoutObject *DataWindow::Impl::columnObject(int column) const
{
    const int index = layout.columnObject(column);
    return index < 0 ? nullptr : &layout.objects[std::size_t(index)];
}

bool DataWindow::Impl::isDropDown(int column) const
{
    const LayoutObject *object = columnObject(column);
    return object && defaultPart(object->raw(u"edit.style"_s)).compare(u"dddw"_s, Qt::CaseInsensitive) == 0;
}

bool DataWindow::Impl::hasCodeTable(int column) const
{
    const LayoutObject *object = columnObject(column);
    return object && !isDropDown(column) && isTrue(object->raw(u"edit.codetable"_s))
        && !object->raw(u"values"_s).isEmpty();
}

QString DataWindow::Impl::displayOf(int column, const Value &value) const
{
    if (value.isNull())
        return {};
    if (isDropDown(column)) {
        auto found = dropDowns.find(column);
        if (found == dropDowns.end() || !found->second.child)
            return value.toText();
        DropDown &dropDown = found->second;
        if (!dropDown.indexed) {
            const LayoutObject *object = columnObject(column);
            const DataWindow &child = *dropDown.child;
            const int data = child.columnNumber(defaultPart(object->raw(u"dddw.datacolumn"_s)));
            const int display = child.columnNumber(defaultPart(object->raw(u"dddw.displaycolumn"_s)));
            if (data > 0 && display > 0) {
                for (long row = 1; row <= child.RowCount(); ++row) {
                    const QString key = lookupKey(child.GetItem(row, data));
                    if (!key.isNull() && !dropDown.displayByData.contains(key))
                        dropDown.displayByData.insert(key, child.GetItem(row, display).toText());
                }
            }
            dropDown.indexed = true;
        }
        return dropDown.displayByData.value(lookupKey(value), value.toText());
    }
    if (hasCodeTable(column)) {
        auto found = codeTables.find(column);
        if (found == codeTables.end()) {
            QHash<QString, QString> table;
            // "Display<TAB>data/Display<TAB>data/"
            const QString values = columnObject(column)->raw(u"values"_s);
            for (const QString &entry : values.split(u'/', Qt::SkipEmptyParts)) {
                const qsizetype tab = entry.indexOf(u'\t');
                const QString key = lookupKey(Value(tab < 0 ? entry : entry.mid(tab + 1)));
                if (!table.contains(key))
                    table.insert(key, tab < 0 ? entry : entry.left(tab));
            }
            found = codeTables.emplace(column, std::move(table)).first;
        }
        return found->second.value(lookupKey(value), value.toText());
    }
    return value.toText();
}

Value DataWindow::Impl::columnValue(int column, qint64 index) const
{
    if (index < 0 || index >= store.size() || column < 1 || column > store.columnCount())
        return {};
    return store.value(index, column - 1);
}

QString DataWindow::Impl::lookupDisplay(int column, qint64 index) const
{
    return displayOf(column, columnValue(column, index));
}

qint64 DataWindow::Impl::indexOf(long row) const
{
    return row >= 1 && row <= rows.rowCount() ? qint64(rows.storeIndex(row)) : -1;
}

// --- rows -----------------------------------------------------------------------------

std::size_t DataWindow::rowMemoryBytes() const
{
    return d->store.memoryBytes() + d->rows.memoryBytes() + d->rankCache.memoryBytes();
}

bool DataWindow::IsReading() const
{
    return d->reading;
}

void DataWindow::StopReading()
{
    if (d->retrieving)
        d->stopRequested = true;
}

bool DataWindow::ReadingStopped() const
{
    return d->stopped;
}

long DataWindow::RowsRead() const
{
    return d->reading ? long(d->store.size()) : RowCount();
}

long DataWindow::RowCount() const
{
    return d->rows.rowCount();
}

long DataWindow::FilteredCount() const
{
    return d->rows.filteredCount();
}

long DataWindow::GetRow() const
{
    return d->currentRow;
}

int DataWindow::SetRow(long row)
{
    if (row < 1 || row > RowCount())
        return -1;
    d->currentIsFirst = false;
    if (row != d->currentRow) {
        d->currentRow = row;
        d->notifyRows();
    }
    return 1;
}

int DataWindow::SelectRow(long row, bool select)
{
    if (row == 0)
        d->rows.selectAll(select);
    else if (row < 0 || row > RowCount())
        return -1;
    else
        d->rows.select(row, select);
    d->notifyRows();
    return 1;
}

bool DataWindow::IsSelected(long row) const
{
    return row >= 1 && row <= RowCount() && d->rows.isSelected(row);
}

Value DataWindow::GetItem(long row, int column) const
{
    return d->columnValue(column, d->indexOf(row));
}

QString DataWindow::GetItemString(long row, int column) const
{
    const Value value = GetItem(row, column);
    return value.isNull() ? QString() : value.toText();
}

QString DataWindow::GetItemString(long row, const QString &column) const
{
    return GetItemString(row, columnNumber(column));
}

std::optional<double> DataWindow::GetItemNumber(long row, const QString &column) const
{
    const Value value = GetItem(row, columnNumber(column));
    if (value.isNull())
        return std::nullopt;
    if (value.isNumber())
        return value.toNumber();
    bool ok = false;
    const double number = value.toText().trimmed().toDouble(&ok);
    return ok ? std::optional<double>(number) : std::nullopt;
}

QString DataWindow::displayText(long row, int column) const
{
    const Value value = GetItem(row, column);
    if (d->isDropDown(column) || d->hasCodeTable(column))
        return d->displayOf(column, value);
    const LayoutObject *object = d->columnObject(column);
    return formatValue(value, object ? attribute(*object, u"format"_s, row) : QString());
}

QString DataWindow::lookupDisplay(long row, int column) const
{
    return d->lookupDisplay(column, d->indexOf(row));
}

bool DataWindow::showsStoredText(int column) const
{
    const LayoutObject *object = d->columnObject(column);
    if (!object || column > d->store.columnCount() || !d->store.isText(column - 1) || d->isDropDown(column)
        || d->hasCodeTable(column))
        return false;
    // A format with an expression (after a tab) may differ from row to row; a text mask
    // ("@") rewrites the text.
    const QString format = object->raw(u"format"_s);
    return !format.contains(u'\t') && !format.contains(u'@');
}

std::string_view DataWindow::storedText(long row, int column) const
{
    const qint64 index = d->indexOf(row);
    if (index < 0 || column < 1 || column > d->store.columnCount() || !d->store.isText(column - 1))
        return {};
    return d->store.utf8(index, column - 1);
}

ColumnStore DataWindow::storedRows() const
{
    return d->store;
}

qint64 DataWindow::storeIndex(long row) const
{
    return d->indexOf(row);
}

std::vector<long> DataWindow::rowsShowingEachText(int column) const
{
    const LayoutObject *object = d->columnObject(column);
    std::vector<long> rows;
    if (object && column <= d->store.columnCount() && !object->raw(u"format"_s).contains(u'\t')) {
        rows = firstOfEachValue(d->store, column - 1, d->rows.primary());
        for (long &row : rows)
            ++row; // positions to row numbers
        return rows;
    }
    rows.resize(std::size_t(RowCount()));
    std::iota(rows.begin(), rows.end(), 1L);
    return rows;
}

// --- sort and filter ------------------------------------------------------------------

std::optional<DataWindow::Impl::Criteria> DataWindow::Impl::parseSort(const QString &text,
                                                                      QString *error) const
{
    auto keys = parseSortCriteria(text, *this, error);
    if (!keys)
        return std::nullopt;
    QStringList parts;
    for (const SortKey &key : *keys) {
        QString part;
        if (key.column > 0 && key.lookupDisplay)
            part = u"LookUpDisplay("_s + layout.columns[std::size_t(key.column - 1)].name + u')';
        else if (key.column > 0)
            part = layout.columns[std::size_t(key.column - 1)].name;
        else if (key.expression)
            part = key.expression->text().trimmed();
        parts.append(part + (key.ascending ? u" A"_s : u" D"_s));
    }
    return Criteria{std::move(*keys), parts.join(u", "_s)};
}

void DataWindow::Impl::setSort(Criteria criteria)
{
    sortKeys = std::move(criteria.keys);
    sortText = std::move(criteria.text);
}

void DataWindow::Impl::setFilter(const QString &text, std::optional<Expression> parsed)
{
    filterText = text;
    filter = std::move(parsed);
}

int DataWindow::SetSort(const QString &criteria)
{
    if (criteria.isNull()) {
        QString chosen = d->sortText;
        const int answer = interaction().sortDialog(d->dialogParent(), *this, chosen);
        if (answer != 1)
            return answer;
        return chosen.isNull() ? 1 : SetSort(chosen);
    }
    auto parsed = d->parseSort(criteria, nullptr);
    if (!parsed)
        return -1;
    d->setSort(std::move(*parsed));
    return 1;
}

int DataWindow::Sort()
{
    if (d->reading)
        return 1; // the end of the retrieval sorts every row by the criteria then in force
    const qint64 current = d->indexOf(d->currentRow);
    if (d->sortKeys.empty()) {
        // No criteria: the rows go back to the order they were retrieved in.
        auto &primary = d->rows.primary();
        std::sort(primary.begin(), primary.end());
    } else {
        sortRows(d->rows, d->store, d->sortKeys, *d, &d->rankCache);
    }
    d->followCurrent(current);
    d->notifyRows();
    return 1;
}

int DataWindow::SetFilter(const QString &expression)
{
    if (expression.isNull()) {
        QString chosen = d->filterText;
        const int answer = interaction().filterDialog(d->dialogParent(), *this, chosen);
        if (answer != 1)
            return answer;
        return chosen.isNull() ? 1 : SetFilter(chosen);
    }
    const QString text = expression.trimmed();
    if (text.isEmpty()) {
        d->setFilter({}, std::nullopt);
        return 1;
    }
    auto parsed = Expression::parse(text, *d);
    if (!parsed)
        return -1;
    d->setFilter(text, std::move(parsed));
    return 1;
}

bool DataWindow::Impl::applyFilter()
{
    if (filterRows(rows, store, filter ? &*filter : nullptr, *this))
        return true;
    interaction().messageBox(
        dialogParent(), u"Error de filtro"_s,
        u"El filtro se detuvo sin aplicarse: evaluarlo en una fila pasa del límite de "
        "%L1 pasos o de %L2 caracteres de texto. Revise que no se evalúe a sí mismo.\n\n%3"_s
            .arg(Expression::maxSteps)
            .arg(Expression::maxTextChars)
            .arg(filterText));
    return false;
}

int DataWindow::Filter()
{
    if (d->reading)
        return 1; // the end of the retrieval filters every row by the filter then in force
    const qint64 current = d->indexOf(d->currentRow);
    const bool applied = d->applyFilter();
    d->followCurrent(current);
    d->notifyRows();
    return applied ? 1 : -1;
}

void DataWindow::Impl::followCurrent(qint64 storeIndex)
{
    ++rowsGeneration;
    const std::vector<std::uint32_t> &primary = rows.primary();
    currentRow = primary.empty() ? 0 : 1;
    if (currentIsFirst || storeIndex < 0) {
        currentIsFirst = true;
        return;
    }
    const auto found = std::find(primary.begin(), primary.end(), std::uint32_t(storeIndex));
    if (found != primary.end())
        currentRow = long(found - primary.begin()) + 1;
    else
        currentIsFirst = true;
}

quint64 DataWindow::rowsGeneration() const
{
    return d->rowsGeneration;
}

} // namespace dw

#include "objects/layout.h"

#include "objects/attributeschema.h"

namespace dw {

using namespace Qt::StringLiterals;

QString LayoutObject::raw(const QString &path) const
{
    // Paths are stored in lower case and most callers already write them so.
    const QString *value = findAttribute(*this, path);
    if (!value)
        value = findAttribute(*this, path.toLower());
    return value ? *value : QString(u""_s);
}

const QString *findAttribute(const LayoutObject &object, QStringView path)
{
    for (const auto &[name, value] : object.attributes) {
        if (name == path)
            return &value;
    }
    return nullptr;
}

void setAttribute(LayoutObject &object, const QString &path, const QString &value)
{
    for (auto &[name, current] : object.attributes) {
        if (name == path) {
            current = value;
            return;
        }
    }
    object.attributes.emplace_back(path, value);
}

QString defaultPart(const QString &raw)
{
    const qsizetype tab = raw.indexOf(u'\t');
    return tab < 0 ? raw : raw.left(tab);
}

QString expressionPart(const QString &raw)
{
    const qsizetype tab = raw.indexOf(u'\t');
    return tab < 0 ? QString() : raw.mid(tab + 1);
}

std::optional<Band> bandFromName(QStringView name)
{
    static const std::pair<QStringView, Band> bands[] = {
        {u"header", Band::Header},   {u"detail", Band::Detail},         {u"footer", Band::Footer},
        {u"summary", Band::Summary}, {u"background", Band::Background}, {u"foreground", Band::Foreground},
    };
    for (const auto &[text, band] : bands) {
        if (name.compare(text, Qt::CaseInsensitive) == 0)
            return band;
    }
    return std::nullopt;
}

bool normalizeBand(LayoutObject &object)
{
    const QString *band = findAttribute(object, u"band");
    const auto parsed = band ? bandFromName(*band) : std::optional<Band>(Band::Detail);
    if (!parsed)
        return false;
    setAttribute(object, u"band"_s, bandName(*parsed));
    return true;
}

QString bandName(Band band)
{
    switch (band) {
    case Band::Header:
        return u"header"_s;
    case Band::Detail:
        return u"detail"_s;
    case Band::Footer:
        return u"footer"_s;
    case Band::Summary:
        return u"summary"_s;
    case Band::Background:
        return u"background"_s;
    case Band::Foreground:
        return u"foreground"_s;
    }
    return u"detail"_s;
}

std::optional<ColumnType> parseColumnType(const QString &type)
{
    const QString t = type.trimmed().toLower();
    const QString base = t.left(t.indexOf(u'(') < 0 ? t.size() : t.indexOf(u'('));
    static const std::pair<QStringView, ColumnType> types[] = {
        {u"char", ColumnType::Char},         {u"varchar", ColumnType::Char},
        {u"string", ColumnType::Char},       {u"long", ColumnType::Long},
        {u"ulong", ColumnType::ULong},       {u"int", ColumnType::Int},
        {u"integer", ColumnType::Int},       {u"number", ColumnType::Number},
        {u"decimal", ColumnType::Decimal},   {u"real", ColumnType::Real},
        {u"double", ColumnType::Number},     {u"date", ColumnType::Date},
        {u"datetime", ColumnType::DateTime}, {u"time", ColumnType::Time},
    };
    for (const auto &[name, columnType] : types) {
        if (base == name)
            return columnType;
    }
    return std::nullopt;
}

namespace {

QString attributeOf(const syntax::Item &item, QStringView name)
{
    for (const auto &[key, value] : item.attributes) {
        if (key == name)
            return value;
    }
    return {};
}

void failure(QString *error, const syntax::Item &item, const QString &message)
{
    if (error)
        *error = u"line %1: %2"_s.arg(item.line).arg(message);
}

} // namespace

std::optional<Layout> Layout::fromItems(const std::vector<syntax::Item> &items, QString *error)
{
    Layout layout;
    std::vector<const syntax::Item *> drawables;
    for (const syntax::Item &item : items) {
        if (item.kind == u"datawindow") {
            for (const auto &[key, value] : item.attributes)
                layout.setDataWindowValue(key, value);
        } else if (schema::isBandName(item.kind)) {
            for (const auto &[key, value] : item.attributes)
                layout.setDataWindowValue(item.kind + u'.' + key, value);
        } else if (item.kind == u"table") {
            layout.select.table = attributeOf(item, u"name");
            layout.select.where = attributeOf(item, u"where");
            layout.designedSort = attributeOf(item, u"sort");
            layout.designedFilter = attributeOf(item, u"filter");
        } else if (item.kind == u"tablecolumn") {
            TableColumn column{attributeOf(item, u"name"), attributeOf(item, u"type").toLower(), {}};
            const auto type = parseColumnType(column.type);
            if (column.name.isEmpty() || !type) {
                failure(error, item, u"a table column needs a name and a known type"_s);
                return std::nullopt;
            }
            if (layout.columnNumber(column.name) != 0) {
                failure(error, item, u"the column '%1' is declared twice"_s.arg(column.name));
                return std::nullopt;
            }
            column.columnType = *type;
            SelectColumn selected{attributeOf(item, u"dbname"), attributeOf(item, u"compute")};
            if (selected.dbName.isEmpty() && selected.compute.isEmpty())
                selected.dbName = column.name;
            layout.columns.push_back(column);
            layout.select.columns.push_back(selected);
        } else if (item.kind == u"argument") {
            RetrievalArgument argument{attributeOf(item, u"name"), attributeOf(item, u"type")};
            if (argument.name.isEmpty()) {
                failure(error, item, u"a retrieval argument needs a name"_s);
                return std::nullopt;
            }
            layout.select.arguments.push_back(argument);
        } else if (schema::isObjectKind(item.kind)) {
            drawables.push_back(&item); // after every column is known
        } else {
            failure(error, item, u"unknown item '%1'"_s.arg(item.kind));
            return std::nullopt;
        }
    }

    int unnamed = 0;
    for (const syntax::Item *item : drawables) {
        LayoutObject object;
        object.kind = schema::normalizedKind(item->kind);
        for (const auto &[key, value] : item->attributes) {
            if (key == u"name")
                object.name = value;
            else
                setAttribute(object, key, value);
        }
        if (!normalizeBand(object)) {
            failure(error, *item, u"unknown band '%1'"_s.arg(object.raw(u"band"_s)));
            return std::nullopt;
        }
        if (object.kind == u"column") {
            const QString idText = object.raw(u"id"_s);
            int id = idText.isEmpty() ? layout.columnNumber(object.name) : idText.toInt();
            if (id < 1 || id > int(layout.columns.size())) {
                failure(error, *item, u"the column object '%1' names no table column"_s.arg(object.name));
                return std::nullopt;
            }
            if (layout.columnObject(id) >= 0) {
                failure(error, *item, u"column %1 is placed twice"_s.arg(id));
                return std::nullopt;
            }
            object.name = layout.columns[std::size_t(id - 1)].name;
            setAttribute(object, u"id"_s, QString::number(id));
        }
        if (object.name.isEmpty())
            object.name = u"%1_%2"_s.arg(object.kind).arg(++unnamed);
        if (layout.objectIndex(object.name) >= 0) {
            failure(error, *item, u"two objects are named '%1'"_s.arg(object.name));
            return std::nullopt;
        }
        layout.objects.push_back(std::move(object));
    }

    for (int id = 1; id <= int(layout.columns.size()); ++id) {
        if (layout.columnObject(id) >= 0)
            continue;
        LayoutObject hidden;
        hidden.kind = u"column"_s;
        hidden.name = layout.columns[std::size_t(id - 1)].name;
        hidden.attributes = {{u"band"_s, u"detail"_s}, {u"id"_s, QString::number(id)},
                             {u"visible"_s, u"0"_s},   {u"x"_s, u"0"_s},
                             {u"y"_s, u"0"_s},         {u"width"_s, u"0"_s},
                             {u"height"_s, u"0"_s}};
        if (layout.objectIndex(hidden.name) >= 0) {
            if (error)
                *error = u"an object has the name of the column '%1'"_s.arg(hidden.name);
            return std::nullopt;
        }
        layout.objects.push_back(std::move(hidden));
    }
    return layout;
}

QString Layout::presentation() const
{
    const QString processing = dataWindowValue(u"processing"_s).toLower();
    if (processing == u"grid" || processing == u"1")
        return u"grid"_s;
    if (processing == u"tabular")
        return u"tabular"_s;
    return u"freeform"_s;
}

QString Layout::dataWindowValue(const QString &path) const
{
    for (const auto &[key, value] : dataWindow) {
        if (key == path)
            return value;
    }
    return {};
}

void Layout::setDataWindowValue(const QString &path, const QString &value)
{
    for (auto &[key, current] : dataWindow) {
        if (key == path) {
            current = value;
            return;
        }
    }
    dataWindow.emplace_back(path, value);
}

int Layout::bandHeight(Band band) const
{
    return defaultPart(dataWindowValue(bandName(band) + u".height"_s)).toInt();
}

int Layout::objectIndex(QStringView name) const
{
    if (name.startsWith(u'#')) {
        bool ok = false;
        const int column = name.mid(1).toInt(&ok);
        return ok ? columnObject(column) : -1;
    }
    for (std::size_t i = 0; i < objects.size(); ++i) {
        if (objects[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

int Layout::columnNumber(QStringView name) const
{
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i) + 1;
    }
    return 0;
}

int Layout::columnObject(int column) const
{
    if (column < 1 || column > int(columns.size()))
        return -1;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        if (columnOf(objects[i]) == column)
            return int(i);
    }
    return -1;
}

int Layout::columnOf(const LayoutObject &object) const
{
    if (object.kind != u"column")
        return 0;
    const QString *id = findAttribute(object, u"id");
    return id ? id->toInt() : 0;
}

} // namespace dw

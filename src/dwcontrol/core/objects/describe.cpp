#include "objects/attributeschema.h"
#include "objects/layoutpaths.h"

#include <QStringList>

namespace dw {

using namespace Qt::StringLiterals;

bool isTrue(const QString &value)
{
    const QString v = defaultPart(value).trimmed().toLower();
    return v == u"1" || v == u"yes" || v == u"true";
}

namespace {

const QString kMissing = u"!"_s;

QString describeDataWindow(const Layout &layout, const QString &path)
{
    if (path == u"column.count")
        return QString::number(layout.columns.size());
    if (path == u"objects") {
        QStringList names;
        for (const LayoutObject &object : layout.objects)
            names.append(object.name);
        return names.join(u'\t');
    }
    if (path == u"table.arguments") {
        QStringList arguments;
        for (const RetrievalArgument &argument : layout.select.arguments)
            arguments.append(argument.name + u", "_s + argument.type);
        return arguments.isEmpty() ? u"?"_s : arguments.join(u'\n');
    }
    const QString value = layout.dataWindowValue(path);
    if (!value.isEmpty())
        return defaultPart(value);
    if (path == u"processing")
        return layout.presentation();
    return schema::dataWindowDefault(path).value_or(kMissing);
}

QString describeObject(const Layout &layout, const LayoutObject &object, const QString &path)
{
    if (path == u"name")
        return object.name;
    if (path == u"type")
        return object.kind;
    if (const int column = layout.columnOf(object); column > 0) {
        const TableColumn &declared = layout.columns[std::size_t(column - 1)];
        const SelectColumn &selected = layout.select.columns[std::size_t(column - 1)];
        if (path == u"coltype")
            return declared.type;
        if (path == u"dbname")
            return selected.compute.isEmpty() ? selected.dbName : selected.compute;
        if (path == u"id")
            return QString::number(column);
    }
    if (const QString *value = findAttribute(object, path))
        return defaultPart(*value);
    return schema::objectDefault(object.kind, path).value_or(kMissing);
}

} // namespace

QString describeLayout(const Layout &layout, QStringView path)
{
    const qsizetype dot = path.indexOf(u'.');
    if (dot <= 0 || dot == path.size() - 1)
        return kMissing;
    const QStringView name = path.left(dot);
    const QString attribute = path.mid(dot + 1).toString().toLower();
    if (name.compare(u"datawindow", Qt::CaseInsensitive) == 0)
        return describeDataWindow(layout, attribute);
    const int index = layout.objectIndex(name);
    if (index < 0)
        return kMissing;
    return describeObject(layout, layout.objects[std::size_t(index)], attribute);
}

} // namespace dw

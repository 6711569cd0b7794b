#include "themequery.h"

#include <QApplication>
#include <QStyle>

namespace gridstyle {
namespace {

bool styleDrawsThemedHeaders()
{
    const QStyle *style = QApplication::style();
    return style && style->name().compare(QLatin1String("windows"), Qt::CaseInsensitive) != 0;
}

ThemeQuery currentQuery = &styleDrawsThemedHeaders;

} // namespace

bool isThemeActive()
{
    return currentQuery();
}

void setThemeQuery(ThemeQuery query)
{
    currentQuery = query ? query : &styleDrawsThemedHeaders;
}

} // namespace gridstyle

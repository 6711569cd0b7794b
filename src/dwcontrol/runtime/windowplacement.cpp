#include "windowplacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStringList>

#include <algorithm>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace rt {
namespace {

const QString maximizedWord = u"maximized"_s;
// Longer than any placement this program writes.
constexpr qsizetype kLongestText = 64;
// Larger than any screen: a size beyond it is garbage.
constexpr int kLargestSide = 100000;
// The piece of the top edge that must show: enough to take the window by its title bar.
constexpr int kGrip = 48;
constexpr int kGripHeight = 8;

} // namespace

QString placementText(const Placement &placement)
{
    const QRect &r = placement.normal;
    QString text = u"%1,%2,%3,%4"_s.arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    if (placement.maximized)
        text += u',' + maximizedWord;
    return text;
}

std::optional<Placement> parsePlacement(const QString &text)
{
    if (text.size() > kLongestText)
        return std::nullopt;
    const QStringList parts = text.trimmed().split(u',');
    if (parts.size() != 4 && !(parts.size() == 5 && parts[4].trimmed() == maximizedWord))
        return std::nullopt;
    int numbers[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        numbers[i] = parts[i].trimmed().toInt(&ok);
        if (!ok || std::abs(numbers[i]) > kLargestSide)
            return std::nullopt;
    }
    if (numbers[2] < 1 || numbers[3] < 1)
        return std::nullopt;
    return Placement{QRect(numbers[0], numbers[1], numbers[2], numbers[3]), parts.size() == 5};
}

bool reachable(const QRect &frame, const QList<QRect> &screens)
{
    const QRect topEdge(frame.left(), frame.top(), frame.width(), std::min(frame.height(), kGripHeight));
    const int wide = std::min(frame.width(), kGrip);
    for (const QRect &screen : screens) {
        const QRect shown = topEdge.intersected(screen);
        if (shown.width() >= wide && shown.height() >= topEdge.height())
            return true;
    }
    return false;
}

QString screenArrangement()
{
    QStringList screens;
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect r = screen->geometry();
        screens.append(u"%1x%2.%3.%4"_s.arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y()));
    }
    return screens.join(u'_');
}

} // namespace rt

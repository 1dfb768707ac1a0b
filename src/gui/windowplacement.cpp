#include "gui/windowplacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <limits>

namespace {

// Edges in 64 bits: a stored left of 2147483647 plus any width must not wrap.
struct Span {
    qint64 first;
    qint64 size;
    qint64 end() const { return first + size; }
};

qint64 overlap(Span a, Span b)
{
    return std::max<qint64>(0, std::min(a.end(), b.end()) - std::max(a.first, b.first));
}

qint64 gap(Span a, Span b)
{
    return std::max<qint64>({0, b.first - a.end(), a.first - b.end()});
}

Span horizontal(const QRect &r)
{
    return {r.x(), r.width()};
}

Span vertical(const QRect &r)
{
    return {r.y(), r.height()};
}

// The screen that holds most of the window, or, when none holds any of it,
// the one closest to it.
const QRect &nearestScreen(Span x, Span y, const QList<QRect> &screens)
{
    const QRect *best = &screens.front();
    qint64 bestArea = -1;
    qint64 bestDistance = std::numeric_limits<qint64>::max();
    for (const QRect &screen : screens) {
        const qint64 area = overlap(x, horizontal(screen)) * overlap(y, vertical(screen));
        const qint64 distance = gap(x, horizontal(screen)) + gap(y, vertical(screen));
        if (area > bestArea || (area == bestArea && distance < bestDistance)) {
            best = &screen;
            bestArea = area;
            bestDistance = distance;
        }
    }
    return *best;
}

} // namespace

QRect UsableBounds(int left, int top, int width, int height, const QList<QRect> &screens, QSize fallback)
{
    const QSize minimum = MinimumWindowSize;
    const bool tooSmall = width < minimum.width() || height < minimum.height();
    Span x{left, width < minimum.width() ? fallback.width() : width};
    Span y{top, height < minimum.height() ? fallback.height() : height};
    if (screens.isEmpty())
        return QRect(left, top, int(x.size), int(y.size));

    const QRect &screen = nearestScreen(x, y, screens);
    const bool tooLarge = x.size > screen.width() || y.size > screen.height();
    const bool outOfReach = overlap(x, horizontal(screen)) < std::min<qint64>(minimum.width(), x.size)
                            || overlap(y, vertical(screen)) < std::min<qint64>(minimum.height(), y.size);
    if (!tooSmall && !tooLarge && !outOfReach)
        return QRect(left, top, width, height);

    x.size = std::min<qint64>(x.size, screen.width());
    y.size = std::min<qint64>(y.size, screen.height());
    x.first = std::clamp<qint64>(x.first, screen.left(), screen.left() + screen.width() - x.size);
    y.first = std::clamp<qint64>(y.first, screen.top(), screen.top() + screen.height() - y.size);
    return QRect(int(x.first), int(y.first), int(x.size), int(y.size));
}

QRect UsableBoundsOnScreens(int left, int top, int width, int height, QSize fallback)
{
    QList<QRect> screens;
    for (const QScreen *screen : QGuiApplication::screens())
        screens.append(screen->availableGeometry());
    return UsableBounds(left, top, width, height, screens, fallback);
}

void KeepAboveOwner(QWidget *window, QWidget *owner)
{
    if (WindowPlacesAreKnown() || !owner)
        return;
    owner->winId();
    window->winId();
    window->windowHandle()->setTransientParent(owner->windowHandle());
    QObject *once = new QObject(window);
    QObject::connect(owner->windowHandle(), &QWindow::visibleChanged, once, [window, once](bool visible) {
        if (!visible)
            return;
        delete once;
        QTimer::singleShot(0, window, [window] {
            if (window->isVisible()) {
                window->hide();
                window->show();
            }
        });
    });
}

bool WindowPlacesAreKnown()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

QRect BoundsToStore(const QRect &read, const QRect &applied, const QRect &now, bool placesKnown)
{
    if (placesKnown)
        return now;
    constexpr int Rounding = 2;
    const bool onlyRounded = std::abs(now.width() - applied.width()) <= Rounding
        && std::abs(now.height() - applied.height()) <= Rounding;
    return QRect(read.topLeft(), onlyRounded ? read.size() : now.size());
}

QRect PlaceWhollyOnScreen(QSize size, const QRect &over, const QRect &available)
{
    size = size.boundedTo(available.size());
    QRect placed(QPoint(), size);
    placed.moveCenter(over.center());
    placed.moveLeft(std::clamp(placed.left(), available.left(), available.right() - size.width() + 1));
    placed.moveTop(std::clamp(placed.top(), available.top(), available.bottom() - size.height() + 1));
    return placed;
}

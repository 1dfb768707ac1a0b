// Stored window bounds made usable on the screens there are now.
#pragma once

#include <QList>
#include <QRect>
#include <QSize>

// The smallest window a person can still use, and the least of a window that
// must lie on a screen to be reached: 70 pixels wide (the narrowest the main
// window's size rules leave, a 50-pixel list and its 20-pixel margin) and
// 40 high (a menu bar and the 17-pixel button row).
inline constexpr QSize MinimumWindowSize(70, 40);

// The bounds a window gets from its stored place and size, any 32-bit values.
// Bounds that give a usable window come back exactly as stored. A window that
// would be unusable (a width or height below MinimumWindowSize, 0 or negative
// included), larger than the available area of the nearest screen, or with
// less than MinimumWindowSize of it in that area (a monitor that is gone, a
// place far off) is mended: a size below the minimum becomes `fallback`'s, the
// first-run size; the size is cut to the available area and the window moved
// wholly into it. `screens` are the screens' available areas; with none, only
// the size is mended.
QRect UsableBounds(int left, int top, int width, int height, const QList<QRect> &screens, QSize fallback);

// The same on the screens of this session.
QRect UsableBoundsOnScreens(int left, int top, int width, int height, QSize fallback);

// Where a window of `size` that the program places itself opens: centred on
// `over` (another window's frame), moved and cut so that it lies wholly in
// `available`, the screen's available area.
QRect PlaceWhollyOnScreen(QSize size, const QRect &over, const QRect &available);

class QWidget;

// Keeps the tool window `window` above `owner` where "stay on top" means
// nothing (Wayland): it becomes a transient of `owner`, and, shown before
// `owner` was, is shown again once `owner` is, for the compositor to learn
// whose it is. Elsewhere nothing changes.
void KeepAboveOwner(QWidget *window, QWidget *owner);

// False on a Wayland display, where a client can neither learn nor set where
// its windows are: the places read at start are then stored back unchanged.
bool WindowPlacesAreKnown();

// The bounds to store for a window that was given `applied` from the stored
// `read` and now has `now`. Where places are not known, the place read is
// kept; and a size the compositor only rounded (by a pixel or two, at a
// scale factor) is stored as it was read, so that nothing creeps from start
// to start.
QRect BoundsToStore(const QRect &read, const QRect &applied, const QRect &now, bool placesKnown);

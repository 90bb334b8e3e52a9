#pragma once
// Where a window restored from the settings file goes. The file may come from another
// screen layout, a maximised window or a damaged disk; a window must never end up too
// large to handle or with its title bar out of reach.
#include <QList>
#include <QRect>

// Height allowed for a title bar that does not exist yet when windows are restored.
constexpr int kTitleBarAllowance = 32;

// The stored frame position (left, top) and client size (width, height) of a window, any
// int values; screens: the available areas of the screens, in the device-independent
// pixels of the scale in use (a place stored at another scale may lie off them). A window
// that lies wholly on one screen, its title bar included, is returned unchanged.
// Otherwise, on the screen its title bar lies on most (else the nearest one), its size is
// cut to the screen and it is moved just far enough to lie wholly on it.
QRect PlaceOnScreens(int left, int top, int width, int height, const QList<QRect>& screens);

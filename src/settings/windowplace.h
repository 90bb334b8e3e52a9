#pragma once
// Where a window restored from the settings file goes. The file may come from another
// screen layout, a maximised window or a damaged disk; a window must never end up too
// large to handle or with its title bar out of reach.
#include <QList>
#include <QRect>

// Height allowed for a title bar that does not exist yet when windows are restored.
constexpr int kTitleBarAllowance = 32;
// Width of title bar that must stay on a screen for the window to be dragged back.
constexpr int kTitleBarGrip = 96;

// The stored frame position (left, top) and client size (width, height) of a window, any
// int values; screens: the available areas of the screens. A window that fits
// is returned unchanged. Otherwise, on the screen its title bar lies on most (else the
// nearest one), its size is cut to the screen and it is moved just far enough for the
// whole height and kTitleBarGrip pixels of the width of its title bar to lie on it.
QRect PlaceOnScreens(int left, int top, int width, int height, const QList<QRect>& screens);

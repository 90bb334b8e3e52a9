#pragma once
// Dialogs come up centred on the window that opened them, wholly on its screen.
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// The frame's top left for a dialog of the inner size given, centred on the opener's
// frame and moved just far enough to lie wholly on the screen's available area (the
// title bar included, which a dialog not yet shown does not have).
QPoint CentredPlace(const QRect& openerFrame, const QSize& dialogSize, const QRect& screen);

// Moves the dialog there now; an opener of nothing centres it on its screen.
void CentreOnOpener(QWidget& dialog, const QWidget* opener);

// From now on, every time the dialog is shown it is centred on the window then active
// (the one it was opened from), else on its parent's window.
void CentreWhenShown(QWidget& dialog);

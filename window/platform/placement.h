// Where a window goes on the screen: its outer bounds, frame included, kept
// on the screen's free area.
#pragma once

#include <QRect>
#include <QWidget>

// Places a window by its outer bounds, frame included, and makes its size
// the least the user can shrink it to. The bounds are first fitted onto the
// available area of the screen they lie on (FitOnScreen). Where the window
// system reports a frame (the window has been shown under a window manager)
// the frame gets these bounds. Before that, and on systems without frames,
// the client area gets this size at this position; should a frame appear
// later, it gets the bounds once, as soon as its margins are known. Where the
// compositor places windows itself (Wayland) the position is left to it and
// only the size follows that rule: the title bar Qt draws there is a frame
// of known margins, a frame the compositor draws is never reported.
void SetOuterBounds(QWidget* form, int left, int top, int width, int height);

// Where `outer` lies on a screen whose free area (without panels) is `area`:
// unmoved where it fits, else moved the least distance that brings it wholly
// inside; along an axis where it is larger than the area, it starts where the
// area starts. The size never changes.
QRect FitOnScreen(const QRect& outer, const QRect& area);

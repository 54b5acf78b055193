// Where a window goes on the screen: its outer bounds, frame included, kept
// on the screen's free area.
#pragma once

#include <QRect>
#include <QWidget>

// Places a window by its outer bounds, frame included, in logical pixels, and
// makes its size the least the user can shrink it to. The bounds are first
// fitted onto the available area of the screen they lie on (FitOnScreen), so
// where the designed size does not fit (a small screen, a large scale factor)
// the window, and the least size, are what fits. Where the window
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
// area starts and is as long as the area. Both are in logical pixels, as Qt
// gives a screen's area at any scale factor.
QRect FitOnScreen(const QRect& outer, const QRect& area);

// Where a window of `size` (frame included) goes beside the window `owner`
// on a screen whose free area is `area`: right of it, else left, below or
// above, the first of these that leaves it uncovered once fitted onto the
// area; where none does, the one that covers the least of it.
QRect PlaceBeside(const QRect& owner, const QSize& size, const QRect& area);

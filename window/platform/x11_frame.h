// The frame an X11 window manager will put around a window, asked before the
// window is shown.
#pragma once

#include <QMargins>
#include <QWidget>

// Where the window manager offers it (_NET_REQUEST_FRAME_EXTENTS), the
// margins of the frame it will give `window`, in logical pixels, so the frame
// can get its bounds before the window is first shown instead of jumping to
// them after.
// Null elsewhere: under another platform, without a window manager, when the
// answer is slow, or in a build without the xcb headers.
QMargins FrameMarginsBeforeShow(QWidget* window);

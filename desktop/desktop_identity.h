// How the desktop knows the program: by one ID, which names its desktop
// entry, its metainfo and its icon, and by that icon on its windows.
#pragma once

// Gives the running application the desktop file name (on Wayland the
// window's app id, which the dock matches against the desktop entries) and
// the window icon, compiled in from the PNGs rendered from the SVG.
void present_to_desktop();

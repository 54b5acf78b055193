// How the platform's own controls and windows present themselves to screen
// readers where Qt's defaults say too little: a label made a link is a link
// with a press action, and a top-level window is a frame (Qt says "client",
// which AT-SPI shows as a filler that tools do not list as a window).
#pragma once

// Once, before the first window is shown; later calls do nothing.
void InstallPlatformAccessibility();

#pragma once

class QWidget;

// Gives the application its icon once `window` has painted its first frame. Decoding the six
// PNGs before would delay the window's map for an icon the window manager can take later.
void setIconAfterFirstFrame(QWidget &window);

#pragma once
// Every window the program opens fits the screen it opens on. A window is
// designed for a large screen; on a small one (1024×768, or 1366×768 less a
// panel) its lower part, where its buttons are, would lie below the screen's
// edge. Such a window opens shrunk to the free area of its screen, or
// maximised when it cannot be made that small; a window that fits keeps its
// designed size and place.
#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

namespace brenvoll {

// A window as it is about to open.
struct WindowShape
{
    QRect geometry; // its own area, without the window system's frame
    QMargins frame; // the frame around it: title bar and borders
    QSize minimum;  // the smallest it may be
    QSize maximum;  // the largest it may be
    bool placed;    // given a place by the program (else the window system places it)
};

// Where a window opens on a screen whose free area is `available`.
struct WindowFit
{
    QRect geometry;         // its own area, without the frame
    bool maximised = false; // too large even at its smallest: opened maximised instead
    bool changed = false;   // geometry differs from the window's own
};

// The place of `window` inside `available`: as it is where its frame fits;
// else shrunk (not below its minimum) and moved so that its frame lies inside.
// A window whose minimum is larger than the area opens maximised when it may
// be resized; a window of one fixed size keeps it, its title bar at the top
// left of the area.
WindowFit fitWindow(const WindowShape& window, const QRect& available);

// Fits `window` to the free area of its screen now.
void fitToScreen(QWidget* window);

// From now on every top-level window of the program is fitted to its screen
// as it opens (menus, tooltips and other popups are left alone).
void fitWindowsToScreen();

} // namespace brenvoll

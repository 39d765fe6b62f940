#pragma once
// The GTK 3 back end: real windows on an X11 (or Wayland) display. It mirrors the model's
// visible windows with their titles, bounds and controls, and the menu bar at the top of
// each document window; the user's clicks, menu choices, close boxes, moves, resizes and
// file drops go back into the model as it would receive them. The model's loops run GTK's
// main loop while they wait, so timers keep firing and nothing but the model decides.
//
// Built only where GTK 3 is installed (BRIVANE_HAVE_GTK).
#include <memory>
#include <string>
#include <vector>

#include "toolbox/Display.h"

namespace toolbox {

// Opens the display given by the environment. GTK is started without touching the
// process locale. Null when no display can be opened.
std::unique_ptr<DisplayBackend> MakeGtkBackend();

// What the GTK back end shows of a window, for tests that check the screen against the
// model. Rectangles are in the window's content coordinates, as the model's are.
struct GtkShownControl {
  ControlRef control;
  Rect allocation;         // where GTK drew it
  bool textCut = false;    // its label ends in an ellipsis
  // Its text is taller than the rectangle that shows it: it scrolls there, or runs past it.
  bool textOverflows = false;
  int fontPixels = 0;      // the size of the font it is drawn in
  bool bold = false;
};
struct GtkShownWindow {
  bool shown = false;          // the back end is GTK's and mirrors the window
  Rect content;                // the content's allocation: its width and height
  std::string alertIcon;       // the theme icon drawn for an alert, empty for none
  std::vector<GtkShownControl> controls;  // the visible ones
};
GtkShownWindow GtkWindowAsShown(WindowRef window);

}  // namespace toolbox

#pragma once
// The GTK 3 back end: real windows on an X11 (or Wayland) display. It mirrors the model's
// visible windows with their titles, bounds and controls, and the menu bar at the top of
// each document window; the user's clicks, menu choices, close boxes, moves, resizes and
// file drops go back into the model as it would receive them. The model's loops run GTK's
// main loop while they wait, so timers keep firing and nothing but the model decides.
//
// Built only where GTK 3 is installed (BRIVANE_HAVE_GTK).
#include <memory>

#include "toolbox/Display.h"

namespace toolbox {

// Opens the display given by the environment. GTK is started without touching the
// process locale. Null when no display can be opened.
std::unique_ptr<DisplayBackend> MakeGtkBackend();

}  // namespace toolbox

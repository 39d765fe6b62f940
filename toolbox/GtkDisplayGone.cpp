// The GTK back end under X11: what the X server refuses once another client has destroyed a
// window of the program's (as `xdotool windowclose` does).
//
// The program learns of it only when the news arrives; until then GTK goes on asking things
// of the window: it moves, raises and paints it, makes pixmaps on it to paint in, pictures
// and graphics contexts on those pixmaps. The X server refuses each such request, and
// refuses later requests on what it therefore never made. Cairo keeps a graphics context it
// made for later drawing, so such a refusal may come long after the window has gone. GDK
// ends the program for any error it has not trapped; these are dropped here, and only these.
#include "toolbox/GtkDisplayBackend.h"

#ifdef BRIVANE_HAVE_X11
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <gdk/gdkx.h>

namespace toolbox::gtk_backend {

namespace {

// A resource of the program's that the X server no longer has, or never made.
enum Kind { kDrawable, kGraphicsContext, kPicture };
struct Gone {
  XID id;
  Kind kind;
  // A window another client destroyed: requests the X server took after `from` and before
  // `until` (the first sent once the program had taken the window down; 0 while it has yet
  // to) may have met it gone. A resource the program made on something gone (`made`) was
  // never there, whatever the request, until the program frees it.
  unsigned long from = 0, until = 0;
  bool made = false;
};

struct Refused {
  std::vector<Gone> gone;
  // Resources asked for on something gone, whose ids the X server's refusal did not name
  // (it names what they were to be made on): the next refusal of an id of that kind that the
  // program does not know to be gone names one of them. The serial of each request.
  std::vector<std::pair<Kind, unsigned long>> unnamed;
  int renderOpcode = -1;
  int renderBadPicture = -1;  // the Render extension's error for a picture that is not there
};

Refused& State() {
  static Refused refused;
  return refused;
}

bool During(const Gone& g, unsigned long serial) {
  return !g.made && serial > g.from && (!g.until || serial < g.until);
}

void NoteGone(GdkWindow* window, unsigned long from) {
  if (gdk_window_has_native(window)) State().gone.push_back(Gone{GDK_WINDOW_XID(window), kDrawable, from});
  GList* children = gdk_window_get_children(window);
  for (GList* c = children; c; c = c->next) NoteGone(GDK_WINDOW(c->data), from);
  g_list_free(children);
}

// What a request made (the kind of resource), or -1 for a request that makes none.
int Makes(const Refused& r, const XErrorEvent& e) {
  if (e.request_code == X_CreateWindow || e.request_code == X_CreatePixmap) return kDrawable;
  if (e.request_code == X_CreateGC) return kGraphicsContext;
  if (e.request_code == r.renderOpcode && e.minor_code == 4) return kPicture;  // RenderCreatePicture
  return -1;
}

// Whether a request frees the resource it names.
bool Frees(const Refused& r, const XErrorEvent& e) {
  return e.request_code == X_FreePixmap || e.request_code == X_FreeGC || e.request_code == X_DestroyWindow ||
         (e.request_code == r.renderOpcode && e.minor_code == 7);  // RenderFreePicture
}

// Whether the X server refused a request only because another client had destroyed the
// window it concerned, or what the program had made on that window. A window GDK still
// takes for alive is such a one (GDK marks the windows it destroys itself first). A mismatch
// while the program did not yet know, which names no resource, counts as theirs too. Any
// other error, on a live window above all, stays GDK's to report.
bool CausedByGoneWindow(::Display* xdisplay, const XErrorEvent& e) {
  Refused& r = State();
  std::erase_if(r.gone, [&](const Gone& g) { return !g.made && g.until && g.until <= e.serial; });
  const auto during = [&](const Gone& g) { return During(g, e.serial); };
  if (e.error_code == BadMatch) return std::any_of(r.gone.begin(), r.gone.end(), during);
  int kind = -1;
  if (e.error_code == BadWindow || e.error_code == BadPixmap || e.error_code == BadDrawable) kind = kDrawable;
  if (e.error_code == BadGC) kind = kGraphicsContext;
  if (e.error_code == r.renderBadPicture) kind = kPicture;
  if (kind < 0) return false;
  auto known = std::find_if(r.gone.begin(), r.gone.end(), [&](const Gone& g) {
    return g.id == e.resourceid && g.kind == kind && (g.made || during(g));
  });
  if (known == r.gone.end()) {
    GdkDisplay* display = gdk_x11_lookup_xdisplay(xdisplay);
    GdkWindow* w = display ? gdk_x11_window_lookup_for_display(display, e.resourceid) : nullptr;
    if (w && (gdk_window_is_destroyed(w) || gdk_window_get_window_type(w) == GDK_WINDOW_FOREIGN ||
              gdk_window_get_window_type(w) == GDK_WINDOW_ROOT))
      return false;  // one GDK took down itself, or one not the program's (GDK traps what it asks of those)
    Gone g{e.resourceid, static_cast<Kind>(kind)};
    auto unnamed = std::find_if(r.unnamed.begin(), r.unnamed.end(),
                                [&](const auto& u) { return u.first == kind && u.second < e.serial; });
    if (w) {  // the news of its end has yet to come
      g.from = e.serial - 1;
    } else if (unnamed != r.unnamed.end()) {
      r.unnamed.erase(unnamed);
      g.made = true;
    } else if (std::any_of(r.gone.begin(), r.gone.end(), during)) {
      g.made = true;  // made on the window before it went (a picture of it), or as it went
    } else {
      return false;
    }
    r.gone.push_back(g);
    known = r.gone.end() - 1;
  }
  if (known->made && Frees(r, e)) r.gone.erase(known);
  if (const int made = Makes(r, e); made >= 0) r.unnamed.emplace_back(static_cast<Kind>(made), e.serial);
  return true;
}

using WireToError = Bool (*)(::Display*, XErrorEvent*, xError*);
WireToError previousWireToError[256];

// Xlib hands every error of the protocol to this hook before any handler, whether it meets
// it waiting for a reply or reading events, and drops it when the hook says so. A handler of
// the program's own would not do: GDK swaps handlers in and out for its traps.
Bool OnXError(::Display* xdisplay, XErrorEvent* error, xError* wire) {
  if (CausedByGoneWindow(xdisplay, *error)) return False;
  WireToError previous = previousWireToError[error->error_code];
  return previous ? previous(xdisplay, error, wire) : True;
}

}  // namespace

// From Xlib's header for extensions (Xlibint.h, whose macros clash with C++'s library).
extern "C" WireToError XESetWireToError(::Display*, int, WireToError);

void WatchXErrors(::Display* xdisplay) {
  int event = 0, error = 0;
  if (XQueryExtension(xdisplay, "RENDER", &State().renderOpcode, &event, &error)) State().renderBadPicture = error + 1;
  for (int code = 1; code < 256; ++code) previousWireToError[code] = XESetWireToError(xdisplay, code, OnXError);
}

void NoteWindowsGone(GdkWindow* toplevel, unsigned long from) { NoteGone(toplevel, from); }

void WindowsGoneTakenDown() {
  const unsigned long next = NextRequest(gdk_x11_display_get_xdisplay(gdk_display_get_default()));
  for (Gone& g : State().gone)
    if (!g.made && !g.until) g.until = next;
}

}  // namespace toolbox::gtk_backend

#endif

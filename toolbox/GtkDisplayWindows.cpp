// The GTK back end's windows: made, placed and stacked as the model's, and what the user
// and the window manager do to them (close, move, resize, focus, keys, drops).
#include "toolbox/GtkDisplayBackend.h"

#include <cmath>
#include <string>
#include <vector>

#ifdef BRIVANE_HAVE_X11
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#endif

#include "toolbox/Controls.h"
#include "toolbox/DragDrop.h"
#include "toolbox/Windows.h"

namespace toolbox::gtk_backend {

namespace {

// Where an alert's icon stands in its window (the alert's text begins to its right).
constexpr int kAlertIconSize = 32;
constexpr int kAlertIconPlace = 20;

}  // namespace

void GtkBackend::Sync() {
  if (syncing_) return;
  syncing_ = true;
  for (auto it = windows_.begin(); it != windows_.end();) {
    if (IsValidWindowRef(WindowRef{it->first})) {
      ++it;
    } else {
      gtk_widget_destroy(it->second->window);
      it = windows_.erase(it);
    }
  }
  const std::vector<MenuView> menus = ViewOfMenuBar();
  // Back to front, so that windows made visible together stack as in the model.
  std::vector<WindowRef> order = WindowsFrontToBack();
  for (auto w = order.rbegin(); w != order.rend(); ++w) {
    WindowView view = ViewOfWindow(*w);
    auto found = windows_.find(w->id);
    if (found == windows_.end()) {
      if (!view.visible) continue;  // never shown: nothing to mirror yet
      found = windows_.emplace(w->id, Create(view)).first;
    }
    Update(*found->second, view, menus);
  }
  WindowRef front = FrontWindow();
  if (front != front_) {
    front_ = front;
    WindowMirror* shown = Find(front.id);
    if (GtkWidget* chooser = FrontChooser(); chooser && !(shown && shown->overChooser)) {
      // A file chooser waits: it stays in front of every window but the questions it asks
      // (without a window manager nothing else would keep it there).
      gtk_window_present(GTK_WINDOW(chooser));
    } else if (auto it = windows_.find(front.id); it != windows_.end()) {
      gtk_window_present(GTK_WINDOW(it->second->window));
      presented_ = front;
      presentedAt_ = g_get_monotonic_time();
    }
  }
  syncing_ = false;
}

std::unique_ptr<WindowMirror> GtkBackend::Create(const WindowView& view) {
  auto m = std::make_unique<WindowMirror>();
  m->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWindow* window = GTK_WINDOW(m->window);
  const SignalTarget target{this, view.ref.id};
  Connect(m->window, "delete-event", G_CALLBACK(OnDelete), target);
  Connect(m->window, "configure-event", G_CALLBACK(OnConfigure), target);
  Connect(m->window, "focus-in-event", G_CALLBACK(OnFocusIn), target);
  Connect(m->window, "drag-data-received", G_CALLBACK(OnDrop), target);
  static const GtkTargetEntry uriList = {const_cast<gchar*>(kFlavorUriList), 0, 0};
  gtk_drag_dest_set(m->window, GTK_DEST_DEFAULT_ALL, &uriList, 1, GDK_ACTION_COPY);

  RealizeFocusForKeys(m->window);
  Connect(m->window, "key-press-event", G_CALLBACK(OnDialogKey), target);
  switch (view.windowClass) {
    case kMovableModalWindowClass:
      gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
      gtk_window_set_modal(window, TRUE);
      // A question a file dialog asks (before a file is replaced) stands over its chooser.
      m->overChooser = FrontChooser() != nullptr;
      if (GtkWindow* parent = m->overChooser ? GTK_WINDOW(FrontChooser()) : ParentFor(view.ref)) {
        gtk_window_set_transient_for(window, parent);
        m->centredOnParent = true;
      }
      break;
    case kSheetWindowClass:
      // GTK has no sheets: a dialog transient for its parent, which stays insensitive
      // while the sheet is up; other windows keep working.
      gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
      if (GtkWindow* parent = SheetParentFor(view.ref)) gtk_window_set_transient_for(window, parent);
      break;
    case kFloatingWindowClass:
    case kUtilityWindowClass:
      gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_UTILITY);
      break;
    case kDocumentWindowClass:
      break;
  }
  gtk_window_set_resizable(window, view.resizable);
  // Every window can be closed from the window manager: the model decides what that does
  // (RequestWindowClose).
  gtk_window_set_deletable(window, TRUE);
  if (view.windowClass == kMovableModalWindowClass || view.windowClass == kSheetWindowClass) {
    // A dialog is moved and closed, never minimised or maximised: a minimised modal dialog
    // would leave the application waiting with nothing on screen to answer.
    gtk_widget_realize(m->window);
    const int functions = GDK_FUNC_MOVE | GDK_FUNC_CLOSE | (view.resizable ? GDK_FUNC_RESIZE : 0);
    gdk_window_set_functions(gtk_widget_get_window(m->window), GdkWMFunction(functions));
    // Some window managers offer minimising whatever a window asks for: a dialog the
    // model shows comes back at once.
    Connect(m->window, "window-state-event", G_CALLBACK(OnWindowState), target);
  }

  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_container_add(GTK_CONTAINER(m->window), box);
  if (view.hasMenuBar) {
    m->keys = gtk_accel_group_new();
    gtk_window_add_accel_group(window, m->keys);
    g_object_unref(m->keys);  // the window holds it
    m->menuBar = gtk_menu_bar_new();
    gtk_box_pack_start(GTK_BOX(box), m->menuBar, FALSE, FALSE, 0);
  }
  InstallPaneStyle();
  m->content = GTK_WIDGET(g_object_new(model_pane_get_type(), nullptr));
  gtk_box_pack_start(GTK_BOX(box), m->content, TRUE, TRUE, 0);
  Connect(m->content, "size-allocate", G_CALLBACK(OnContentResized), target);
  gtk_widget_show_all(box);
  return m;
}

// The chooser of the innermost file dialog running; null when none runs.
GtkWidget* GtkBackend::FrontChooser() {
  auto it = choosers_.find(FrontNavDialog().id);
  return it == choosers_.end() ? nullptr : it->second;
}

// A dialog stands in front of the frontmost other window on screen.
GtkWindow* GtkBackend::ParentFor(WindowRef dialog) {
  for (WindowRef w : WindowsFrontToBack()) {
    if (w == dialog || !IsWindowVisible(w)) continue;
    if (auto it = windows_.find(w.id); it != windows_.end()) return GTK_WINDOW(it->second->window);
  }
  return nullptr;
}

GtkWindow* GtkBackend::SheetParentFor(WindowRef sheet) {
  if (auto it = windows_.find(GetSheetParent(sheet).id); it != windows_.end())
    return GTK_WINDOW(it->second->window);
  return ParentFor(sheet);
}

void GtkBackend::Update(WindowMirror& m, const WindowView& view, const std::vector<MenuView>& menus) {
  const bool first = !m.shown.ref;  // nothing of it shown yet
  if (GtkWidget* inside = gtk_bin_get_child(GTK_BIN(m.window)))
    gtk_widget_set_sensitive(inside, WindowAcceptsUserInput(view.ref));
  if (first || view.title != m.shown.title)
    gtk_window_set_title(GTK_WINDOW(m.window), view.title.c_str());
  if (m.menuBar && (first || menus != m.shownMenus)) {
    BuildMenuBar(m, view.ref, menus);
    m.shownMenus = menus;
  }
  if (first || view.bounds != m.shown.bounds) Place(m, view);
  UpdateControls(m, view);
  if (first && view.alertIcon >= 0) ShowAlertIcon(m, static_cast<AlertType>(view.alertIcon));
  if (first || view.visible != m.shown.visible) {
    gtk_widget_set_visible(m.window, view.visible);
    if (view.visible && !m.focusChosen) {
      m.focusChosen = true;
      FocusFirst(m, view);
    }
  }
  if (GdkWindow* g = gtk_widget_get_window(m.window); g && view.busy != m.busyShown) {
    GdkCursor* cursor = view.busy ? gdk_cursor_new_from_name(gdk_window_get_display(g), "wait") : nullptr;
    gdk_window_set_cursor(g, cursor);
    if (cursor) g_object_unref(cursor);
    m.busyShown = view.busy;
  }
  m.shown = view;
}

// An alert's kind as the theme draws it, where the alert leaves room for it.
void GtkBackend::ShowAlertIcon(WindowMirror& m, AlertType type) {
  const char* name = type == kAlertStopAlert      ? "dialog-error"
                     : type == kAlertCautionAlert ? "dialog-warning"
                                                  : "dialog-information";
  m.alertIcon = gtk_image_new_from_icon_name(name, GTK_ICON_SIZE_DIALOG);
  gtk_image_set_pixel_size(GTK_IMAGE(m.alertIcon), kAlertIconSize);
  gtk_fixed_put(GTK_FIXED(m.content), m.alertIcon, kAlertIconPlace, kAlertIconPlace);
  SetModelSize(m.alertIcon, kAlertIconSize, kAlertIconSize);
  gtk_widget_show(m.alertIcon);
}

// Where the keyboard focus starts when a window first shows: on the model's focus (an edit
// field), else on the default button, as GTK's own dialogs do. A dialog with neither
// starts with no focus at all: GTK would give it to the first button in the window, which
// may be one that throws work away ("Don't Save") and that Space would press.
void GtkBackend::FocusFirst(WindowMirror& m, const WindowView& view) {
  const ControlRef focus = GetKeyboardFocus(view.ref);
  GtkWidget* chosen = nullptr;
  const ControlView* field = nullptr;
  for (const ControlView& c : view.controls) {
    auto it = m.controls.find(c.ref.id);
    if (it == m.controls.end() || !it->second.widget || !c.visible || !c.enabled) continue;
    if (c.ref == focus) {
      chosen = it->second.widget;
      if (GTK_IS_ENTRY(chosen)) field = &c;
      break;
    }
    if (c.defaultButton && !chosen) chosen = it->second.widget;
  }
  if (chosen && gtk_widget_get_can_focus(chosen)) {
    gtk_widget_grab_focus(chosen);
    if (field) ShowCaret(GTK_ENTRY(chosen), *field);  // GTK selects the whole text on focus
  } else if (view.windowClass == kMovableModalWindowClass || view.windowClass == kSheetWindowClass) {
    gtk_window_set_focus(GTK_WINDOW(m.window), nullptr);
  }
}

namespace {

// What a window's menu bar adds to the height of the model's content.
int MenuBarHeight(const WindowMirror& m) {
  if (!m.menuBar) return 0;
  int minimum = 0, natural = 0;
  gtk_widget_get_preferred_height(m.menuBar, &minimum, &natural);
  return natural;
}

}  // namespace

// The window's top-left corner goes where the model puts its content's; the menu bar
// adds to the height. A modal dialog first shows centred over the window it belongs to,
// and the model learns where from the window's configure event.
void GtkBackend::Place(WindowMirror& m, const WindowView& view) {
  GtkWindow* window = GTK_WINDOW(m.window);
  const int width = std::max(1, view.bounds.Width());
  const int height = std::max(1, view.bounds.Height()) + MenuBarHeight(m);
  int x = view.bounds.left, y = view.bounds.top;
  if (m.centredOnParent && !m.shown.ref && !CentreOver(gtk_window_get_transient_for(window), width, height, &x, &y))
    gtk_window_set_position(window, GTK_WIN_POS_CENTER_ON_PARENT);
  else
    gtk_window_move(window, x, y);
  m.placedLeft = x;
  m.placedTop = y;
  ModelPane* pane = MODEL_PANE(m.content);
  pane->width = width;
  pane->height = std::max(1, view.bounds.Height());
  pane->resizable = view.resizable;
  gtk_widget_queue_resize(m.content);
  gtk_window_resize(window, width, height);
}

// Where a dialog of this size stands centred over its parent, kept on the screen. The
// parent is taken where it stands as far as the model knows: where it was last asked to
// stand (its place in the model, or where it was itself centred), or where the user or the
// window manager has since moved it, as its last bounds report told the model. Never where
// the X server has it at this moment: a window just shown stays where it was created until
// the window manager has got round to placing it, and a dialog centred over that would
// stay off centre once it had. Both are placed by their frames' corners, so with the same
// decoration the contents' centres meet.
bool GtkBackend::CentreOver(GtkWindow* parent, int width, int height, int* x, int* y) {
  if (!parent) return false;
  int left = 0, top = 0, parentWidth = 0, parentHeight = 0;
  const WindowMirror* over = nullptr;
  for (const auto& [id, mirror] : windows_)
    if (mirror->window == GTK_WIDGET(parent) && mirror->shown.ref) over = mirror.get();
  if (over) {
    left = over->placedLeft;
    top = over->placedTop;
    parentWidth = over->shown.bounds.Width();
    parentHeight = over->shown.bounds.Height() + MenuBarHeight(*over);
  } else {
    if (!gtk_widget_get_visible(GTK_WIDGET(parent))) return false;
    gtk_window_get_position(parent, &left, &top);
    gtk_window_get_size(parent, &parentWidth, &parentHeight);
  }
  *x = left + (parentWidth - width) / 2;
  *y = top + (parentHeight - height) / 2;
  Rect area;
  if (ScreenArea(&area)) {
    // The whole frame stays on the screen, its top-left corner first where it cannot fit.
    const Margins frame = FrameMargins(GTK_WIDGET(parent));
    *x = std::max<int>(area.left, std::min(*x, area.right - (frame.left + width + frame.right)));
    *y = std::max<int>(area.top, std::min(*y, area.bottom - (frame.top + height + frame.bottom)));
  }
  return true;
}

// What the window manager adds around a window on each side (nothing where none runs):
// its frame is the window's ancestor that stands on the root window, border included. A
// dialog is not framed before it shows; the window manager frames it as the window it
// stands over, which is why a dialog is measured by its parent's frame.
GtkBackend::Margins GtkBackend::FrameMargins(GtkWidget* window) {
  Margins m;
#ifdef BRIVANE_HAVE_X11
  GdkWindow* g = gtk_widget_get_window(window);
  if (!g || !gtk_widget_get_mapped(window) || !GDK_IS_X11_WINDOW(g)) return m;
  ::Display* xdisplay = GDK_WINDOW_XDISPLAY(g);
  ::Window frame = GDK_WINDOW_XID(g), root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  gdk_x11_display_error_trap_push(gdk_window_get_display(g));  // the window manager may take its frame away
  while (XQueryTree(xdisplay, frame, &root, &parent, &children, &count) && parent != root) {
    if (children) XFree(children);
    children = nullptr;
    frame = parent;
  }
  if (children) XFree(children);
  int x = 0, y = 0, left = 0, top = 0;
  unsigned width = 0, height = 0, border = 0, depth = 0;
  ::Window child = 0;
  if (XGetGeometry(xdisplay, frame, &root, &left, &top, &width, &height, &border, &depth) &&
      XTranslateCoordinates(xdisplay, GDK_WINDOW_XID(g), root, 0, 0, &x, &y, &child)) {
    const int right = left + int(width + 2 * border), bottom = top + int(height + 2 * border);
    m = {std::max(0, x - left), std::max(0, y - top), std::max(0, right - x - gdk_window_get_width(g)),
         std::max(0, bottom - y - gdk_window_get_height(g))};
  }
  gdk_x11_display_error_trap_pop_ignored(gdk_window_get_display(g));
#else
  (void)window;
#endif
  return m;
}

// The work area of the primary monitor (the first where none is primary).
bool GtkBackend::ScreenArea(Rect* area) {
  GdkDisplay* display = gdk_display_get_default();
  if (!display || !area) return false;
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  if (!monitor && gdk_display_get_n_monitors(display) > 0) monitor = gdk_display_get_monitor(display, 0);
  if (!monitor) return false;
  GdkRectangle r;
  gdk_monitor_get_workarea(monitor, &r);
  *area = Rect{Clamp16(r.y), Clamp16(r.x), Clamp16(r.y + r.height), Clamp16(r.x + r.width)};
  return true;
}

WindowMirror* GtkBackend::Find(std::uint64_t window) {
  auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : it->second.get();
}

// The window as it stands on screen, back into the model (moves and resizes).
void GtkBackend::ReportBounds(std::uint64_t id) {
  WindowMirror* m = Find(id);
  if (!m) return;
  m->boundsReportQueued = false;
  WindowRef window{id};
  if (!IsValidWindowRef(window) || !m->shown.visible) return;
  int x = 0, y = 0;
  gtk_window_get_position(GTK_WINDOW(m->window), &x, &y);
  GtkAllocation a;
  gtk_widget_get_allocation(m->content, &a);
  if (a.width <= 1 && a.height <= 1) return;  // not laid out yet
  Rect now{Clamp16(y), Clamp16(x), Clamp16(y + a.height), Clamp16(x + a.width)};
  Rect model;
  GetWindowBounds(window, &model);
  if (now == model) return;
  m->shown.bounds = now;
  m->placedLeft = x;
  m->placedTop = y;
  SetWindowBounds(window, now);
}

void GtkBackend::QueueBoundsReport(std::uint64_t id) {
  WindowMirror* m = Find(id);
  if (!m || m->boundsReportQueued || syncing_) return;
  m->boundsReportQueued = true;
  Input([this, id] { ReportBounds(id); });
}

// Return, Enter and Escape in a dialog go to the model as its keys (the default and
// cancel buttons); an edit field keeps Return for itself. Page Up, Page Down and the up
// and down arrows scroll a text too long for its place, where the focus is on none of the
// controls that take those keys themselves.
gboolean GtkBackend::OnDialogKey(GtkWidget* widget, GdkEventKey* key, gpointer data) {
  auto* t = static_cast<SignalTarget*>(data);
  if (t->backend->ScrollTextByKey(t->id, key->keyval)) return TRUE;
  std::uint32_t code = 0;
  if (key->keyval == GDK_KEY_Return) code = kReturnKeyCode;
  if (key->keyval == GDK_KEY_KP_Enter) code = kEnterKeyCode;
  if (key->keyval == GDK_KEY_Escape) code = kEscapeKeyCode;
  if (!code) return FALSE;
  GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(widget));
  if (code != kEscapeKeyCode && focus && GTK_IS_ENTRY(focus)) return FALSE;
  WindowRef window{t->id};
  // Other windows take these keys only for their default and cancel buttons.
  WindowClass kind = kDocumentWindowClass;
  GetWindowClass(window, &kind);
  if (kind != kMovableModalWindowClass && kind != kSheetWindowClass &&
      !(code == kEscapeKeyCode ? GetWindowCancelButton(window) : GetWindowDefaultButton(window)))
    return FALSE;
  t->backend->Input([window, code] { PressKey(window, code); });
  return TRUE;
}

bool GtkBackend::ScrollTextByKey(std::uint64_t id, guint keyval) {
  int direction = 0;
  bool page = false;
  switch (keyval) {
    case GDK_KEY_Page_Up: case GDK_KEY_KP_Page_Up: direction = -1; page = true; break;
    case GDK_KEY_Page_Down: case GDK_KEY_KP_Page_Down: direction = 1; page = true; break;
    case GDK_KEY_Up: case GDK_KEY_KP_Up: direction = -1; break;
    case GDK_KEY_Down: case GDK_KEY_KP_Down: direction = 1; break;
    default: return false;
  }
  WindowMirror* m = Find(id);
  if (!m) return false;
  GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(m->window));
  if (focus && (GTK_IS_EDITABLE(focus) || GTK_IS_TREE_VIEW(focus) || GTK_IS_RANGE(focus) || GTK_IS_COMBO_BOX(focus)))
    return false;
  for (auto& [control, mirror] : m->controls) {
    if (!mirror.inner || !GTK_IS_LABEL(mirror.inner) || !GTK_IS_SCROLLED_WINDOW(mirror.widget)) continue;
    GtkAdjustment* v = gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(mirror.widget));
    const double step = page ? gtk_adjustment_get_page_increment(v) : gtk_adjustment_get_step_increment(v);
    gtk_adjustment_set_value(v, gtk_adjustment_get_value(v) + direction * step);  // kept within its range
    return true;
  }
  return false;
}

gboolean GtkBackend::OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
  auto* t = static_cast<SignalTarget*>(data);
  WindowRef window{t->id};
  t->backend->Input([window] { RequestWindowClose(window); });
  return TRUE;  // the model decides whether the window goes
}

// Another X client may destroy a window of the program (as `xdotool windowclose` does).
// GTK would hear of it only once GDK had taken the window's frame clock away, and then
// fail in taking the widget down (a critical warning); left alone, the model would wait
// for an answer from a window that is no longer there. So the first window of the
// hierarchy to go takes the whole widget with it at once, while GDK still has all of it;
// what GTK then asks of the X windows that are gone is ignored.
GdkFilterReturn GtkBackend::OnXEvent(GdkXEvent* xevent, GdkEvent*, gpointer data) {
#ifdef BRIVANE_HAVE_X11
  const XEvent* x = static_cast<const XEvent*>(xevent);
  GdkDisplay* display = gdk_display_get_default();
  if (x->type != DestroyNotify || !display || !GDK_IS_X11_DISPLAY(display)) return GDK_FILTER_CONTINUE;
  GdkWindow* gone = gdk_x11_window_lookup_for_display(display, x->xdestroywindow.window);
  if (!gone || gdk_window_is_destroyed(gone)) return GDK_FILTER_CONTINUE;  // one the program took down
  GdkWindow* toplevel = gdk_window_get_toplevel(gone);
  NoteWindowsGone(toplevel, x->xdestroywindow.serial);
  gdk_x11_display_error_trap_push(display);
  static_cast<GtkBackend*>(data)->DestroyedOutside(toplevel);
  gdk_x11_display_error_trap_pop_ignored(display);
  WindowsGoneTakenDown();
#else
  (void)xevent;
  (void)data;
#endif
  return GDK_FILTER_CONTINUE;
}

// A window destroyed from outside counts as closed from outside, so that a dialog answers
// as its cancel button does and the program goes on; a window the model keeps showing is
// made anew at the next sync. A file chooser destroyed so cancels its file dialog.
void GtkBackend::DestroyedOutside(GdkWindow* toplevel) {
  for (auto it = windows_.begin(); it != windows_.end(); ++it) {
    if (gtk_widget_get_window(it->second->window) != toplevel) continue;
    const WindowRef window{it->first};
    GtkWidget* widget = it->second->window;
    windows_.erase(it);
    gtk_widget_destroy(widget);
    if (front_ == window) front_ = WindowRef{};
    if (presented_ == window) presented_ = WindowRef{};
    Input([window] { RequestWindowClose(window); });
    return;
  }
  for (auto it = choosers_.begin(); it != choosers_.end(); ++it) {
    if (gtk_widget_get_window(it->second) != toplevel) continue;
    const NavDialogRef dialog{it->first};
    GtkWidget* widget = it->second;
    choosers_.erase(it);
    gtk_widget_destroy(widget);
    Input([dialog] { NavDialogCancel(dialog); });
    return;
  }
}

gboolean GtkBackend::OnWindowState(GtkWidget* widget, GdkEventWindowState* state, gpointer) {
  if ((state->changed_mask & GDK_WINDOW_STATE_ICONIFIED) && (state->new_window_state & GDK_WINDOW_STATE_ICONIFIED))
    gtk_window_deiconify(GTK_WINDOW(widget));
  return FALSE;
}

gboolean GtkBackend::OnConfigure(GtkWidget*, GdkEvent*, gpointer data) {
  auto* t = static_cast<SignalTarget*>(data);
  t->backend->QueueBoundsReport(t->id);
  return FALSE;
}

void GtkBackend::OnContentResized(GtkWidget*, GdkRectangle*, gpointer data) {
  auto* t = static_cast<SignalTarget*>(data);
  t->backend->QueueBoundsReport(t->id);
}

// The focus moving to a window brings it to the front of the model. The focus that an
// earlier present gave another window arrives after the model's newer choice, though:
// taken as the user's, it would bring that window back, whose present would again move
// the focus, without end (and GTK would never get to draw). Until the window last
// presented has the focus (or a window manager has had a second to refuse it), focus
// elsewhere is such an echo.
gboolean GtkBackend::OnFocusIn(GtkWidget*, GdkEvent*, gpointer data) {
  auto* t = static_cast<SignalTarget*>(data);
  GtkBackend* b = t->backend;
  if (b->presented_) {
    if (b->presented_.id == t->id) {
      b->presented_ = WindowRef{};
    } else if (g_get_monotonic_time() - b->presentedAt_ < G_USEC_PER_SEC) {
      return FALSE;
    }
  }
  WindowRef window{t->id};
  b->Input([window] {
    if (IsWindowVisible(window) && FrontWindow() != window) SelectWindow(window);
  });
  return FALSE;
}

void GtkBackend::OnDrop(GtkWidget* widget, GdkDragContext*, gint x, gint y, GtkSelectionData* data,
    guint, guint, gpointer user) {
  auto* t = static_cast<SignalTarget*>(user);
  const guchar* bytes = gtk_selection_data_get_data(data);
  const gint length = gtk_selection_data_get_length(data);
  if (!bytes || length <= 0) return;
  std::vector<std::string> uris =
      ParseUriList(std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length)));
  WindowMirror* m = t->backend->Find(t->id);
  if (uris.empty() || !m) return;
  int cx = x, cy = y;
  gtk_widget_translate_coordinates(widget, m->content, x, y, &cx, &cy);
  WindowRef window{t->id};
  t->backend->Input([window, uris = std::move(uris), cx, cy] {
    Rect bounds;
    if (GetWindowBounds(window, &bounds) != kNoErr) return;
    Point where{Clamp16(bounds.top + cy), Clamp16(bounds.left + cx)};
    DropOnWindow(window, MakeFileDrag(uris, where));
  });
}

}  // namespace toolbox::gtk_backend

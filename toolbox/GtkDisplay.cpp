// The GTK back end: its life, the queue of input waiting for the model, and the wait.
#include "toolbox/GtkDisplay.h"

#include "toolbox/GtkDisplayBackend.h"

#include <glib-unix.h>
#include <unistd.h>

#include <cmath>

#ifdef BRIVANE_HAVE_X11
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#endif

#include "toolbox/Launch.h"
#include "toolbox/Events.h"

namespace toolbox::gtk_backend {

GtkBackend::GtkBackend() {
  if (GdkDisplay* display = gdk_display_get_default())
    g_signal_connect(display, "closed", G_CALLBACK(OnDisplayClosed), this);
  gdk_window_add_filter(nullptr, OnXEvent, this);
}

GtkBackend::~GtkBackend() {
  gdk_window_remove_filter(nullptr, OnXEvent, this);
  if (GdkDisplay* display = gdk_display_get_default())
    g_signal_handlers_disconnect_by_data(display, this);
  for (auto& [id, chooser] : choosers_) gtk_widget_destroy(chooser);
  choosers_.clear();
  for (auto& [id, m] : windows_) gtk_widget_destroy(m->window);
  windows_.clear();
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

// Brings the screen up to date, waits for the user (or the time limit) and hands one
// piece of input to the model, outside any GTK signal, so that what it starts (a modal
// loop, a new window) runs as it would from the model's own loop.
bool GtkBackend::WaitForInput(double seconds) {
  Sync();
  if (!InputReady() && !closed_) Pump(seconds);
  if (InputReady()) {
    std::function<void()> next = std::move(input_.front().action);
    input_.pop_front();  // before the call: it may wait for input itself
    next();
  }
  return !closed_;
}

GtkShownWindow GtkBackend::AsShown(WindowRef window) {
  GtkShownWindow shown;
  WindowMirror* m = Find(window.id);
  if (!m) return shown;
  shown.shown = true;
  GtkAllocation pane;
  gtk_widget_get_allocation(m->content, &pane);
  shown.content = Rect{0, 0, Clamp16(pane.height), Clamp16(pane.width)};
  if (m->alertIcon) {
    const gchar* name = nullptr;
    gtk_image_get_icon_name(GTK_IMAGE(m->alertIcon), &name, nullptr);
    if (name) shown.alertIcon = name;
  }
  for (auto& [id, mirror] : m->controls) {
    if (!mirror.widget || !gtk_widget_get_visible(mirror.widget)) continue;
    GtkShownControl c;
    c.control = ControlRef{id};
    GtkAllocation a;
    gtk_widget_get_allocation(mirror.widget, &a);
    c.allocation = Rect{Clamp16(a.y - pane.y), Clamp16(a.x - pane.x), Clamp16(a.y - pane.y + a.height),
                        Clamp16(a.x - pane.x + a.width)};
    GtkWidget* text = mirror.widget;
    if (GTK_IS_BIN(text) && gtk_bin_get_child(GTK_BIN(text))) text = gtk_bin_get_child(GTK_BIN(text));
    if (mirror.inner && GTK_IS_LABEL(mirror.inner)) {  // a static text that scrolls
      text = mirror.inner;
      GtkAdjustment* v = gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(mirror.widget));
      c.textOverflows = gtk_adjustment_get_upper(v) > gtk_adjustment_get_page_size(v) + 0.5;
    } else if (GTK_IS_LABEL(text)) {
      int width = 0, height = 0;
      pango_layout_get_pixel_size(gtk_label_get_layout(GTK_LABEL(text)), &width, &height);
      c.textOverflows = height > a.height + 1;
    }
    if (GTK_IS_LABEL(text)) c.textCut = pango_layout_is_ellipsized(gtk_label_get_layout(GTK_LABEL(text)));
    PangoFontDescription* font = nullptr;
    GtkStyleContext* style = gtk_widget_get_style_context(text);
    gtk_style_context_get(style, gtk_style_context_get_state(style), "font", &font, nullptr);
    if (font) {
      const double size = double(pango_font_description_get_size(font)) / PANGO_SCALE;
      c.fontPixels = static_cast<int>(std::lround(
          pango_font_description_get_size_is_absolute(font) ? size : size * 96 / 72));
      c.bold = pango_font_description_get_weight(font) >= PANGO_WEIGHT_BOLD;
      pango_font_description_free(font);
    }
    shown.controls.push_back(c);
  }
  return shown;
}

void GtkBackend::Pump(double seconds) {
  if (seconds == 0) {  // what is ready now, but never without end
    for (int i = 0; i < 256 && gtk_events_pending(); ++i) gtk_main_iteration_do(FALSE);
    return;
  }
  bool timedOut = false;
  guint timer = 0;
  if (seconds > 0) {
    const double ms = std::min(std::ceil(seconds * 1000), 1e9);
    timer = g_timeout_add(static_cast<guint>(ms), [](gpointer flag) -> gboolean {
      *static_cast<bool*>(flag) = true;
      return G_SOURCE_REMOVE;
    }, &timedOut);
  }
  // The descriptors the event loop watches end the wait too.
  bool ready = false;
  std::vector<guint> watches;
  for (const WatchedDescriptor& p : WatchedDescriptors()) {
    const auto condition = GIOCondition(((p.events & kDescriptorReadable) ? G_IO_IN : 0) |
                                        ((p.events & kDescriptorWritable) ? G_IO_OUT : 0) | G_IO_ERR | G_IO_HUP);
    watches.push_back(g_unix_fd_add(p.fd, condition, [](gint, GIOCondition, gpointer flag) -> gboolean {
      *static_cast<bool*>(flag) = true;
      return G_SOURCE_CONTINUE;
    }, &ready));
  }
  while (!InputReady() && !timedOut && !closed_ && !ready) gtk_main_iteration_do(TRUE);
  for (guint watch : watches) g_source_remove(watch);
  if (timer && !timedOut) g_source_remove(timer);
}

void GtkBackend::OnDisplayClosed(GdkDisplay*, gboolean, gpointer data) {
  static_cast<GtkBackend*>(data)->closed_ = true;
}

bool GtkBackend::OpenUri(const std::string& uri) { return LaunchUriWithGio(uri); }

bool GtkBackend::Spawn(const std::vector<std::string>& argv) { return SpawnWithGio(argv); }

void Connect(gpointer widget, const char* signal, GCallback callback, const SignalTarget& target) {
  g_signal_connect_data(widget, signal, callback, new SignalTarget(target),
                        [](gpointer p, GClosure*) { delete static_cast<SignalTarget*>(p); },
                        GConnectFlags(0));
}

void RealizeFocusForKeys(GtkWidget* window) {
  auto realize = +[](GtkWidget* widget, GdkEventKey*, gpointer) -> gboolean {
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(widget));
    if (focus && gtk_widget_get_realized(widget) && !gtk_widget_get_realized(focus)) gtk_widget_realize(focus);
    return FALSE;
  };
  g_signal_connect(window, "key-press-event", G_CALLBACK(realize), nullptr);
  g_signal_connect(window, "key-release-event", G_CALLBACK(realize), nullptr);
}

}  // namespace toolbox::gtk_backend

namespace toolbox {

GtkShownWindow GtkWindowAsShown(WindowRef window) {
  auto* gtk = dynamic_cast<gtk_backend::GtkBackend*>(GetDisplayBackend());
  return gtk ? gtk->AsShown(window) : GtkShownWindow{};
}

namespace {

#ifdef BRIVANE_HAVE_X11
// Xlib ends the process once its connection breaks, and GDK's own handler says nothing a
// user would understand: the program says what is lost first, then ends as Xlib would.
int OnXConnectionLost(::Display*) {
  DisplayLost();
  _exit(1);
}
#endif

}  // namespace

std::unique_ptr<DisplayBackend> MakeGtkBackend() {
  // GTK is started once; its answer stands for the life of the process.
  static const bool opened = [] {
    gtk_disable_setlocale();
    if (gtk_init_check(nullptr, nullptr) != TRUE) return false;
#ifdef BRIVANE_HAVE_X11
    if (GDK_IS_X11_DISPLAY(gdk_display_get_default())) {
      XSetIOErrorHandler(OnXConnectionLost);
      gtk_backend::WatchXErrors(gdk_x11_display_get_xdisplay(gdk_display_get_default()));
    }
#endif
    return true;
  }();
  if (!opened) return nullptr;
  return std::make_unique<gtk_backend::GtkBackend>();
}

}  // namespace toolbox

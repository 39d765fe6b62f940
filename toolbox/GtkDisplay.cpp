#include "toolbox/GtkDisplay.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <vector>

#include "toolbox/DisplayMirror.h"
#include "toolbox/DragDrop.h"
#include "toolbox/Launch.h"
#include "toolbox/Menus.h"
#include "toolbox/Utf8.h"
#include "toolbox/Windows.h"

namespace toolbox {
namespace {

short Clamp16(int v) { return static_cast<short>(std::clamp(v, -32768, 32767)); }

struct ControlMirror {
  GtkWidget* widget = nullptr;  // null for kinds the program draws itself (user panes)
  ControlView shown;
};

struct WindowMirror {
  GtkWidget* window = nullptr;
  GtkWidget* menuBar = nullptr;  // document windows only
  GtkWidget* content = nullptr;  // a GtkFixed: controls sit at their window coordinates
  GtkAccelGroup* keys = nullptr;
  WindowView shown;
  std::vector<MenuView> shownMenus;
  std::map<std::uint64_t, ControlMirror> controls;
  bool boundsReportQueued = false;
};

class GtkBackend;

// What a signal handler needs to find its model object again; each connection owns one.
struct SignalTarget {
  GtkBackend* backend;
  std::uint64_t id;        // window or control
  std::uint64_t menu = 0;  // menu items: the menu and the item's index
  std::uint16_t index = 0;
};

void Connect(gpointer widget, const char* signal, GCallback callback, const SignalTarget& target) {
  g_signal_connect_data(widget, signal, callback, new SignalTarget(target),
                        [](gpointer p, GClosure*) { delete static_cast<SignalTarget*>(p); },
                        GConnectFlags(0));
}

class GtkBackend : public DisplayBackend {
 public:
  GtkBackend() {
    if (GdkDisplay* display = gdk_display_get_default())
      g_signal_connect(display, "closed", G_CALLBACK(OnDisplayClosed), this);
  }

  ~GtkBackend() override {
    if (GdkDisplay* display = gdk_display_get_default())
      g_signal_handlers_disconnect_by_data(display, this);
    for (auto& [id, m] : windows_) gtk_widget_destroy(m->window);
    windows_.clear();
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
  }

  std::string Name() const override { return "GTK"; }

  // Brings the screen up to date, waits for the user (or the time limit) and hands one
  // piece of input to the model, outside any GTK signal, so that what it starts (a modal
  // loop, a new window) runs as it would from the model's own loop.
  bool WaitForInput(double seconds) override {
    Sync();
    if (input_.empty() && !closed_) Pump(seconds);
    if (!input_.empty()) {
      std::function<void()> next = std::move(input_.front());
      input_.pop_front();  // before the call: it may wait for input itself
      next();
    }
    return !closed_;
  }

  void WindowShown(WindowRef) override { Sync(); }
  void WindowHidden(WindowRef) override { Sync(); }
  void WindowDisposed(WindowRef) override { Sync(); }
  void MenuBarChanged() override { Sync(); }
  bool OpenUri(const std::string& uri) override { return LaunchUriWithGio(uri); }
  bool Spawn(const std::vector<std::string>& argv) override { return SpawnWithGio(argv); }

 private:
  void Pump(double seconds) {
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
    while (input_.empty() && !timedOut && !closed_) gtk_main_iteration_do(TRUE);
    if (timer && !timedOut) g_source_remove(timer);
  }

  void Input(std::function<void()> action) { input_.push_back(std::move(action)); }

  // --- the mirror ---

  void Sync() {
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
      if (auto it = windows_.find(front.id); it != windows_.end())
        gtk_window_present(GTK_WINDOW(it->second->window));
    }
    syncing_ = false;
  }

  std::unique_ptr<WindowMirror> Create(const WindowView& view) {
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

    switch (view.windowClass) {
      case kMovableModalWindowClass:
      case kSheetWindowClass:
        gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
        gtk_window_set_modal(window, TRUE);
        if (GtkWindow* parent = ParentFor(view.ref)) gtk_window_set_transient_for(window, parent);
        break;
      case kFloatingWindowClass:
      case kUtilityWindowClass:
        gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_UTILITY);
        break;
      case kDocumentWindowClass:
        break;
    }
    gtk_window_set_resizable(window, view.resizable);
    gtk_window_set_deletable(window, view.closeBox);

    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_add(GTK_CONTAINER(m->window), box);
    if (view.hasMenuBar) {
      m->keys = gtk_accel_group_new();
      gtk_window_add_accel_group(window, m->keys);
      g_object_unref(m->keys);  // the window holds it
      m->menuBar = gtk_menu_bar_new();
      gtk_box_pack_start(GTK_BOX(box), m->menuBar, FALSE, FALSE, 0);
    }
    m->content = gtk_fixed_new();
    gtk_box_pack_start(GTK_BOX(box), m->content, TRUE, TRUE, 0);
    Connect(m->content, "size-allocate", G_CALLBACK(OnContentResized), target);
    gtk_widget_show_all(box);
    return m;
  }

  // A dialog stands in front of the frontmost other window on screen.
  GtkWindow* ParentFor(WindowRef dialog) {
    for (WindowRef w : WindowsFrontToBack()) {
      if (w == dialog || !IsWindowVisible(w)) continue;
      if (auto it = windows_.find(w.id); it != windows_.end()) return GTK_WINDOW(it->second->window);
    }
    return nullptr;
  }

  void Update(WindowMirror& m, const WindowView& view, const std::vector<MenuView>& menus) {
    const bool first = !m.shown.ref;  // nothing of it shown yet
    if (first || view.title != m.shown.title)
      gtk_window_set_title(GTK_WINDOW(m.window), view.title.c_str());
    if (m.menuBar && (first || menus != m.shownMenus)) {
      BuildMenuBar(m, view.ref, menus);
      m.shownMenus = menus;
    }
    if (first || view.bounds != m.shown.bounds) Place(m, view);
    UpdateControls(m, view);
    if (first || view.visible != m.shown.visible) gtk_widget_set_visible(m.window, view.visible);
    m.shown = view;
  }

  // The window's top-left corner goes where the model puts its content's; the menu bar
  // adds to the height.
  void Place(WindowMirror& m, const WindowView& view) {
    GtkWindow* window = GTK_WINDOW(m.window);
    const int width = std::max(1, view.bounds.Width());
    int height = std::max(1, view.bounds.Height());
    if (m.menuBar) {
      int minimum = 0, natural = 0;
      gtk_widget_get_preferred_height(m.menuBar, &minimum, &natural);
      height += natural;
    }
    gtk_window_move(window, view.bounds.left, view.bounds.top);
    if (view.resizable) {
      gtk_window_resize(window, width, height);
    } else {
      gtk_widget_set_size_request(m.content, width, std::max(1, view.bounds.Height()));
    }
  }

  void BuildMenuBar(WindowMirror& m, WindowRef window, const std::vector<MenuView>& menus) {
    GList* old = gtk_container_get_children(GTK_CONTAINER(m.menuBar));
    for (GList* l = old; l; l = l->next) gtk_widget_destroy(GTK_WIDGET(l->data));
    g_list_free(old);
    for (const MenuView& menu : menus) {
      GtkWidget* title = gtk_menu_item_new_with_label(menu.title.c_str());
      GtkWidget* items = gtk_menu_new();
      gtk_menu_set_accel_group(GTK_MENU(items), m.keys);
      for (const MenuItemView& item : menu.items) {
        GtkWidget* w;
        if (item.separator) {
          w = gtk_separator_menu_item_new();
        } else {
          w = item.checked ? gtk_check_menu_item_new_with_label(item.label.c_str())
                           : gtk_menu_item_new_with_label(item.label.c_str());
          if (item.checked) gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(w), TRUE);
          gtk_widget_set_sensitive(w, item.enabled);
          Connect(w, "activate", G_CALLBACK(OnMenuItem),
                  SignalTarget{this, window.id, menu.ref.id, item.index});
          if (item.key) {
            guint key = gdk_keyval_to_lower(gdk_unicode_to_keyval(item.key));
            int mods = (item.ctrl ? GDK_CONTROL_MASK : 0) | (item.shift ? GDK_SHIFT_MASK : 0) |
                       (item.alt ? GDK_MOD1_MASK : 0);
            gtk_widget_add_accelerator(w, "activate", m.keys, key, GdkModifierType(mods),
                                       GTK_ACCEL_VISIBLE);
          }
        }
        gtk_menu_shell_append(GTK_MENU_SHELL(items), w);
      }
      gtk_menu_item_set_submenu(GTK_MENU_ITEM(title), items);
      gtk_menu_shell_append(GTK_MENU_SHELL(m.menuBar), title);
    }
    gtk_widget_show_all(m.menuBar);
  }

  void UpdateControls(WindowMirror& m, const WindowView& view) {
    std::map<std::uint64_t, ControlMirror> kept;
    for (const ControlView& c : view.controls) {
      auto found = m.controls.find(c.ref.id);
      const bool fresh = found == m.controls.end();
      ControlMirror mirror;
      if (fresh) {
        mirror.widget = MakeControl(m, c);
      } else {
        mirror = found->second;
        m.controls.erase(found);
      }
      if (mirror.widget && (fresh || mirror.shown != c)) UpdateControl(m, mirror, c);
      mirror.shown = c;
      kept.emplace(c.ref.id, mirror);
    }
    for (auto& [id, gone] : m.controls)
      if (gone.widget) gtk_widget_destroy(gone.widget);
    m.controls = std::move(kept);
  }

  GtkWidget* MakeControl(WindowMirror& m, const ControlView& c) {
    GtkWidget* w = nullptr;
    const char* signal = nullptr;
    GCallback callback = nullptr;
    if (c.kind == kControlKindPushButton) {
      w = gtk_button_new_with_label("");
      signal = "clicked";
      callback = G_CALLBACK(OnClick);
    } else if (c.kind == kControlKindCheckBox) {
      w = gtk_check_button_new_with_label("");
      signal = "toggled";
      callback = G_CALLBACK(OnClick);
    } else if (c.kind == kControlKindStaticText) {
      w = gtk_label_new("");
      gtk_label_set_xalign(GTK_LABEL(w), 0);
      gtk_label_set_yalign(GTK_LABEL(w), 0);
      gtk_label_set_line_wrap(GTK_LABEL(w), TRUE);
    } else if (c.kind == kControlKindEditText) {
      w = gtk_entry_new();
      signal = "changed";
      callback = G_CALLBACK(OnTextChanged);
    } else {
      return nullptr;
    }
    if (signal) Connect(w, signal, callback, SignalTarget{this, c.ref.id});
    gtk_fixed_put(GTK_FIXED(m.content), w, c.bounds.left, c.bounds.top);
    return w;
  }

  // Called while syncing_, so the widgets' own change signals are not taken for input.
  void UpdateControl(WindowMirror& m, ControlMirror& mirror, const ControlView& c) {
    GtkWidget* w = mirror.widget;
    if (c.kind == kControlKindPushButton || c.kind == kControlKindCheckBox) {
      gtk_button_set_label(GTK_BUTTON(w), c.title.c_str());
    } else if (c.kind == kControlKindStaticText) {
      gtk_label_set_text(GTK_LABEL(w), c.title.c_str());
    } else if (c.kind == kControlKindEditText) {
      // While typing still waits to reach the model, the field keeps what was typed.
      if (input_.empty() && c.title != gtk_entry_get_text(GTK_ENTRY(w)))
        gtk_entry_set_text(GTK_ENTRY(w), c.title.c_str());
    }
    if (c.kind == kControlKindCheckBox) {
      gtk_toggle_button_set_inconsistent(GTK_TOGGLE_BUTTON(w), c.value == 2);  // mixed
      gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w), c.value == 1);
    }
    gtk_fixed_move(GTK_FIXED(m.content), w, c.bounds.left, c.bounds.top);
    gtk_widget_set_size_request(w, c.bounds.Width() > 0 ? c.bounds.Width() : -1,
                                c.bounds.Height() > 0 ? c.bounds.Height() : -1);
    gtk_widget_set_sensitive(w, c.enabled);
    gtk_widget_set_visible(w, c.visible);
  }

  WindowMirror* Find(std::uint64_t window) {
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : it->second.get();
  }

  // The window as it stands on screen, back into the model (moves and resizes).
  void ReportBounds(std::uint64_t id) {
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
    SetWindowBounds(window, now);
  }

  void QueueBoundsReport(std::uint64_t id) {
    WindowMirror* m = Find(id);
    if (!m || m->boundsReportQueued || syncing_) return;
    m->boundsReportQueued = true;
    Input([this, id] { ReportBounds(id); });
  }

  // --- signals: each only queues the input for the model ---

  static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
    auto* t = static_cast<SignalTarget*>(data);
    WindowRef window{t->id};
    t->backend->Input([window] {
      std::uint32_t attributes = 0;
      if (GetWindowAttributes(window, &attributes) == kNoErr && (attributes & kWindowCloseBoxAttribute))
        SendWindowCloseEvent(window);
    });
    return TRUE;  // the model decides whether the window goes
  }

  static gboolean OnConfigure(GtkWidget*, GdkEvent*, gpointer data) {
    auto* t = static_cast<SignalTarget*>(data);
    t->backend->QueueBoundsReport(t->id);
    return FALSE;
  }

  static void OnContentResized(GtkWidget*, GdkRectangle*, gpointer data) {
    auto* t = static_cast<SignalTarget*>(data);
    t->backend->QueueBoundsReport(t->id);
  }

  static gboolean OnFocusIn(GtkWidget*, GdkEvent*, gpointer data) {
    auto* t = static_cast<SignalTarget*>(data);
    WindowRef window{t->id};
    t->backend->Input([window] {
      if (IsWindowVisible(window) && FrontWindow() != window) SelectWindow(window);
    });
    return FALSE;
  }

  static void OnDrop(GtkWidget* widget, GdkDragContext*, gint x, gint y, GtkSelectionData* data,
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

  static void OnClick(GtkWidget*, gpointer data) {
    auto* t = static_cast<SignalTarget*>(data);
    if (t->backend->syncing_) return;
    ControlRef control{t->id};
    // A check box shows the model's value again at the next wait, whatever the click did.
    t->backend->Input([control] { HitControl(control); });
  }

  static void OnTextChanged(GtkWidget* entry, gpointer data) {
    auto* t = static_cast<SignalTarget*>(data);
    if (t->backend->syncing_) return;
    ControlRef control{t->id};
    std::wstring text = Utf8ToWide(gtk_entry_get_text(GTK_ENTRY(entry)));
    t->backend->Input([control, text] { SetControlTitle(control, text); });
  }

  static void OnMenuItem(GtkWidget*, gpointer data) {
    auto* t = static_cast<SignalTarget*>(data);
    if (t->backend->syncing_) return;
    if (WindowMirror* m = t->backend->Find(t->id)) m->shownMenus.clear();  // show the model's marks again
    MenuRef menu{t->menu};
    std::uint16_t index = t->index;
    t->backend->Input([menu, index] { PostMenuItemChoice(menu, index); });
  }

  static void OnDisplayClosed(GdkDisplay*, gboolean, gpointer data) {
    static_cast<GtkBackend*>(data)->closed_ = true;
  }

  std::map<std::uint64_t, std::unique_ptr<WindowMirror>> windows_;
  std::deque<std::function<void()>> input_;
  WindowRef front_;
  bool syncing_ = false;
  bool closed_ = false;
};

}  // namespace

std::unique_ptr<DisplayBackend> MakeGtkBackend() {
  // GTK is started once; its answer stands for the life of the process.
  static const bool opened = [] {
    gtk_disable_setlocale();
    return gtk_init_check(nullptr, nullptr) == TRUE;
  }();
  if (!opened) return nullptr;
  return std::make_unique<GtkBackend>();
}

}  // namespace toolbox

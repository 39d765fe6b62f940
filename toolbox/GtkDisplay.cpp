#include "toolbox/GtkDisplay.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include "toolbox/Alerts.h"
#include "toolbox/Controls.h"
#include "toolbox/DisplayMirror.h"
#include "toolbox/DragDrop.h"
#include "toolbox/Launch.h"
#include "toolbox/Menus.h"
#include "toolbox/Navigation.h"
#include "toolbox/Utf8.h"
#include "toolbox/Windows.h"

namespace toolbox {
namespace {

short Clamp16(int v) { return static_cast<short>(std::clamp(v, -32768, 32767)); }

// Where an alert's icon stands in its window (the alert's text begins to its right).
constexpr int kAlertIconSize = 32;
constexpr int kAlertIconPlace = 20;

constexpr int kSmallestFont = 6;
constexpr int kLargestFont = 48;

// --- the content pane ---
//
// GTK sizes a widget from its content: an entry is never narrower than about 150 pixels,
// a pop-up is as wide as its longest item, a label as wide as its longest word, and a
// GtkFixed grows to hold them all. The model has already placed every control, so the
// content of a window is a pane that gives each child exactly its rectangle, whatever the
// child would like, and asks for exactly the model's size itself; the window's size then
// comes from the model and the user alone.

struct ModelPane {
  GtkFixed parent;
  int width;   // the model's content size
  int height;
  gboolean resizable;  // the user may make the window smaller than the model's size
};
struct ModelPaneClass {
  GtkFixedClass parent_class;
};

GType model_pane_get_type();
G_DEFINE_TYPE(ModelPane, model_pane, GTK_TYPE_FIXED)

#define MODEL_PANE(obj) (G_TYPE_CHECK_INSTANCE_CAST((obj), model_pane_get_type(), ModelPane))

// A child's rectangle is its place in the GtkFixed and the size kept with it.
constexpr const char* kModelWidth = "brivane-width";
constexpr const char* kModelHeight = "brivane-height";

void SetModelSize(GtkWidget* child, int width, int height) {
  g_object_set_data(G_OBJECT(child), kModelWidth, GINT_TO_POINTER(std::max(1, width)));
  g_object_set_data(G_OBJECT(child), kModelHeight, GINT_TO_POINTER(std::max(1, height)));
  gtk_widget_queue_resize(child);
}

void ModelPaneWidth(GtkWidget* widget, gint* minimum, gint* natural) {
  ModelPane* pane = MODEL_PANE(widget);
  *natural = std::max(1, pane->width);
  *minimum = pane->resizable ? 1 : *natural;
}

void ModelPaneHeight(GtkWidget* widget, gint* minimum, gint* natural) {
  ModelPane* pane = MODEL_PANE(widget);
  *natural = std::max(1, pane->height);
  *minimum = pane->resizable ? 1 : *natural;
}

void ModelPaneAllocate(GtkWidget* widget, GtkAllocation* allocation) {
  gtk_widget_set_allocation(widget, allocation);
  GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
  for (GList* l = children; l; l = l->next) {
    GtkWidget* child = GTK_WIDGET(l->data);
    if (!gtk_widget_get_visible(child)) continue;
    gint x = 0, y = 0;
    gtk_container_child_get(GTK_CONTAINER(widget), child, "x", &x, "y", &y, nullptr);
    GtkRequisition unused;
    gtk_widget_get_preferred_size(child, &unused, nullptr);  // GTK measures before it allocates
    GtkAllocation place{allocation->x + x, allocation->y + y,
                        GPOINTER_TO_INT(g_object_get_data(G_OBJECT(child), kModelWidth)),
                        GPOINTER_TO_INT(g_object_get_data(G_OBJECT(child), kModelHeight))};
    place.width = std::max(1, place.width);
    place.height = std::max(1, place.height);
    gtk_widget_size_allocate(child, &place);
  }
  g_list_free(children);
}

void model_pane_class_init(ModelPaneClass* klass) {
  GtkWidgetClass* widget = GTK_WIDGET_CLASS(klass);
  widget->get_preferred_width = ModelPaneWidth;
  widget->get_preferred_height = ModelPaneHeight;
  widget->size_allocate = ModelPaneAllocate;
}

void model_pane_init(ModelPane* pane) {
  pane->width = 1;
  pane->height = 1;
  pane->resizable = FALSE;
  gtk_style_context_add_class(gtk_widget_get_style_context(GTK_WIDGET(pane)), "brivane-pane");
}

// Controls styled as compactly as the model's rectangles, which were drawn for a desktop
// whose buttons are 20 pixels high: small paddings, no minimum sizes of the theme's own.
// The fonts are the model's, in pixels (the system font is 13, the small one 11).
constexpr const char* kPaneStyle = R"css(
.brivane-pane { font-family: sans-serif; font-size: 13px; }
.brivane-pane button { padding: 0 4px; min-height: 0; min-width: 0; }
.brivane-pane button.combo { padding: 0 2px 0 4px; }
.brivane-pane entry { padding: 0 3px; min-height: 0; min-width: 0; }
.brivane-pane checkbutton, .brivane-pane radiobutton { padding: 0; min-height: 0; }
.brivane-pane check, .brivane-pane radio { margin: 0 3px 0 0; min-width: 12px; min-height: 12px; }
.brivane-pane checkbutton label, .brivane-pane radiobutton label { margin: 0; padding: 0; }
.brivane-pane scale { padding: 0; min-height: 0; min-width: 0; }
.brivane-pane progressbar trough, .brivane-pane progressbar progress { min-height: 4px; min-width: 0; }
.brivane-pane notebook > header tab { padding: 1px 8px; min-height: 0; min-width: 0; }
.brivane-pane treeview.view header button { padding: 0 4px; }
)css";

void InstallPaneStyle() {
  static bool installed = false;
  GdkScreen* screen = gdk_screen_get_default();
  if (installed || !screen) return;
  installed = true;
  std::string css = kPaneStyle;
  // One class per font size the model may ask for, and one for its bold face.
  for (int size = kSmallestFont; size <= kLargestFont; ++size)
    css += ".brivane-pane .brivane-font-" + std::to_string(size) + " { font-size: " + std::to_string(size) + "px; }\n";
  css += ".brivane-pane .brivane-bold { font-weight: bold; }\n";
  GtkCssProvider* provider = gtk_css_provider_new();
  gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
  gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(provider),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(provider);
}

struct ControlMirror {
  GtkWidget* widget = nullptr;  // null for kinds the program draws itself (user panes)
  GtkWidget* inner = nullptr;   // the widget inside a frame (the tree view of a list)
  ControlView shown;
  bool dirty = false;  // changed by the user: shows the model's state again at the next sync
};

struct WindowMirror {
  GtkWidget* window = nullptr;
  GtkWidget* menuBar = nullptr;  // document windows only
  GtkWidget* content = nullptr;  // a GtkFixed: controls sit at their window coordinates
  GtkAccelGroup* keys = nullptr;
  WindowView shown;
  bool busyShown = false;
  std::vector<MenuView> shownMenus;
  std::map<std::uint64_t, ControlMirror> controls;
  GtkWidget* alertIcon = nullptr;  // the theme's icon of an alert's kind
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
    for (auto& [id, chooser] : choosers_) gtk_widget_destroy(chooser);
    choosers_.clear();
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

  GtkShownWindow AsShown(WindowRef window) {
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
  bool Spawn(const std::vector<std::string>& argv) override { return SpawnWithGio(argv); }

  // A file dialog of the model as a GTK file chooser (never the portal chooser, which takes
  // no custom filters). Each pop-up item becomes a filter that asks the model item by item.
  void FileDialogShown(NavDialogRef ref) override {
    Sync();
    const NavDialogView view = ViewOfNavDialog(ref);
    if (!view.ref) return;
    static const char* const kTitles[] = {"Save", "Open", "Choose a File", "Choose a Folder"};
    static const char* const kActions[] = {"_Save", "_Open", "_Choose", "_Choose"};
    static const GtkFileChooserAction kModes[] = {
        GTK_FILE_CHOOSER_ACTION_SAVE, GTK_FILE_CHOOSER_ACTION_OPEN, GTK_FILE_CHOOSER_ACTION_OPEN,
        GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER};
    const int kind = std::clamp<int>(view.kind, 0, 3);
    auto text = [](const std::wstring& given, const char* fallback) {
      return given.empty() ? std::string(fallback) : WideToUtf8(given);
    };
    GtkWindow* parent = nullptr;
    if (auto it = windows_.find(view.options.parentWindow.id); it != windows_.end())
      parent = GTK_WINDOW(it->second->window);
    else
      parent = ParentFor(WindowRef{});
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        text(view.options.windowTitle, kTitles[kind]).c_str(), parent, kModes[kind],
        text(view.options.cancelButtonLabel, "_Cancel").c_str(), GTK_RESPONSE_CANCEL,
        text(view.options.actionButtonLabel, kActions[kind]).c_str(), GTK_RESPONSE_ACCEPT, nullptr);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    gtk_window_set_default_size(GTK_WINDOW(dialog), 760, 520);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ON_PARENT);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    if (view.kind == kNavPutFileDialog) {
      // GTK's question before replacing mirrors the model's own.
      gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
      gtk_file_chooser_set_current_name(chooser, WideToUtf8(view.saveFileName).c_str());
    }
    if ((view.options.optionFlags & kNavAllowMultipleFiles) &&
        (view.kind == kNavGetFileDialog || view.kind == kNavChooseFileDialog))
      gtk_file_chooser_set_select_multiple(chooser, TRUE);
    if (!view.options.message.empty())
      gtk_file_chooser_set_extra_widget(chooser, gtk_label_new(WideToUtf8(view.options.message).c_str()));
    std::vector<std::string> names;
    for (const std::wstring& item : view.options.popupExtension) names.push_back(WideToUtf8(item));
    if (names.empty() && view.kind != kNavChooseFolderDialog) names.push_back("");  // the object filter alone
    GtkFileFilter* first = nullptr;
    for (std::size_t i = 0; i < names.size(); ++i) {
      GtkFileFilter* filter = gtk_file_filter_new();
      if (!names[i].empty()) gtk_file_filter_set_name(filter, names[i].c_str());
      auto* target = new SignalTarget{this, ref.id, 0, static_cast<std::uint16_t>(i)};
      gtk_file_filter_add_custom(filter, GTK_FILE_FILTER_FILENAME, OnChooserFilterItem, target,
                                 [](gpointer p) { delete static_cast<SignalTarget*>(p); });
      g_object_set_data(G_OBJECT(filter), "brivane-index", GINT_TO_POINTER(static_cast<int>(i)));
      gtk_file_chooser_add_filter(chooser, filter);
      if (!first) first = filter;
    }
    if (first) gtk_file_chooser_set_filter(chooser, first);
    const SignalTarget target{this, ref.id};
    Connect(dialog, "notify::filter", G_CALLBACK(OnChooserFilterChanged), target);
    Connect(dialog, "response", G_CALLBACK(OnChooserResponse), target);
    // Escape or a close box answers "cancel" through the response; GTK would then destroy
    // the dialog by itself, under the model that still holds it and closes it later.
    g_signal_connect(dialog, "delete-event", G_CALLBACK(gtk_true), nullptr);
    choosers_[ref.id] = dialog;
    gtk_widget_show(dialog);
    gtk_window_resize(GTK_WINDOW(dialog), 760, 520);  // the chooser's own size may fill the screen
    gtk_window_present(GTK_WINDOW(dialog));
  }

  // The colour picker: GTK's colour chooser, a modal dialog in front of the frontmost
  // window. The model's loop runs while the user chooses, so that its timers keep firing;
  // the answer goes back with 16-bit channels.
  bool PickColor(const std::wstring& prompt, const RGBColor& in, RGBColor* out) override {
    Sync();
    GtkWidget* dialog = gtk_color_chooser_dialog_new(WideToUtf8(prompt).c_str(), ParentFor(WindowRef{}));
    GtkColorChooser* chooser = GTK_COLOR_CHOOSER(dialog);
    gtk_color_chooser_set_use_alpha(chooser, FALSE);
    const GdkRGBA initial{in.red / 65535.0, in.green / 65535.0, in.blue / 65535.0, 1.0};
    gtk_color_chooser_set_rgba(chooser, &initial);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    struct Answer {
      bool given = false;
      gint response = GTK_RESPONSE_NONE;
    } answer;
    g_object_ref(dialog);  // alive until answered, whatever closes it
    g_signal_connect(dialog, "response", G_CALLBACK(+[](GtkDialog*, gint response, gpointer p) {
      auto* a = static_cast<Answer*>(p);
      a->given = true;
      a->response = response;
    }), &answer);
    g_signal_connect(dialog, "delete-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer p) -> gboolean {
      static_cast<Answer*>(p)->given = true;  // closed: cancelled
      return TRUE;
    }), &answer);
    gtk_widget_show(dialog);
    gtk_window_present(GTK_WINDOW(dialog));
    while (!answer.given && !closed_) {
      std::unique_ptr<Event> event;
      if (ReceiveNextEvent(0.25, &event) == kNoErr && event) DispatchQueuedEvent(event.get());
    }
    const bool accepted = answer.response == GTK_RESPONSE_OK;
    if (accepted && out) {
      GdkRGBA chosen;
      gtk_color_chooser_get_rgba(chooser, &chosen);
      auto channel = [](double v) { return static_cast<std::uint16_t>(std::lround(std::clamp(v, 0.0, 1.0) * 65535)); };
      *out = RGBColor{channel(chosen.red), channel(chosen.green), channel(chosen.blue)};
    }
    gtk_widget_destroy(dialog);
    g_object_unref(dialog);
    return accepted;
  }

  void FileDialogClosed(NavDialogRef ref) override {
    if (auto it = choosers_.find(ref.id); it != choosers_.end()) {
      gtk_widget_destroy(it->second);
      choosers_.erase(it);
    }
    Sync();
  }

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
      if (auto it = windows_.find(front.id); it != windows_.end()) {
        gtk_window_present(GTK_WINDOW(it->second->window));
        presented_ = front;
        presentedAt_ = g_get_monotonic_time();
      }
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

    Connect(m->window, "key-press-event", G_CALLBACK(OnDialogKey), target);
    switch (view.windowClass) {
      case kMovableModalWindowClass:
        gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
        gtk_window_set_modal(window, TRUE);
        if (GtkWindow* parent = ParentFor(view.ref)) gtk_window_set_transient_for(window, parent);
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
    InstallPaneStyle();
    m->content = GTK_WIDGET(g_object_new(model_pane_get_type(), nullptr));
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

  GtkWindow* SheetParentFor(WindowRef sheet) {
    if (auto it = windows_.find(GetSheetParent(sheet).id); it != windows_.end())
      return GTK_WINDOW(it->second->window);
    return ParentFor(sheet);
  }

  void Update(WindowMirror& m, const WindowView& view, const std::vector<MenuView>& menus) {
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
    if (first || view.visible != m.shown.visible) gtk_widget_set_visible(m.window, view.visible);
    if (GdkWindow* g = gtk_widget_get_window(m.window); g && view.busy != m.busyShown) {
      GdkCursor* cursor = view.busy ? gdk_cursor_new_from_name(gdk_window_get_display(g), "wait") : nullptr;
      gdk_window_set_cursor(g, cursor);
      if (cursor) g_object_unref(cursor);
      m.busyShown = view.busy;
    }
    m.shown = view;
  }

  // An alert's kind as the theme draws it, where the alert leaves room for it.
  void ShowAlertIcon(WindowMirror& m, AlertType type) {
    const char* name = type == kAlertStopAlert      ? "dialog-error"
                       : type == kAlertCautionAlert ? "dialog-warning"
                                                    : "dialog-information";
    m.alertIcon = gtk_image_new_from_icon_name(name, GTK_ICON_SIZE_DIALOG);
    gtk_image_set_pixel_size(GTK_IMAGE(m.alertIcon), kAlertIconSize);
    gtk_fixed_put(GTK_FIXED(m.content), m.alertIcon, kAlertIconPlace, kAlertIconPlace);
    SetModelSize(m.alertIcon, kAlertIconSize, kAlertIconSize);
    gtk_widget_show(m.alertIcon);
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
    ModelPane* pane = MODEL_PANE(m.content);
    pane->width = width;
    pane->height = std::max(1, view.bounds.Height());
    pane->resizable = view.resizable;
    gtk_widget_queue_resize(m.content);
    gtk_window_resize(window, width, height);
  }

  void BuildMenuBar(WindowMirror& m, WindowRef window, const std::vector<MenuView>& menus) {
    GList* old = gtk_container_get_children(GTK_CONTAINER(m.menuBar));
    for (GList* l = old; l; l = l->next) gtk_widget_destroy(GTK_WIDGET(l->data));
    g_list_free(old);
    for (const MenuView& menu : menus) {
      GtkWidget* title = gtk_menu_item_new_with_label(menu.title.c_str());
      gtk_menu_item_set_submenu(GTK_MENU_ITEM(title),
                                BuildMenu(menu.items, menu.ref, window.id, G_CALLBACK(OnMenuItem), m.keys));
      gtk_menu_shell_append(GTK_MENU_SHELL(m.menuBar), title);
    }
    gtk_widget_show_all(m.menuBar);
  }

  // A GTK menu of the items, their submenus nested under them. Choosing an item at any
  // depth calls `chosen` with the item's own menu and index; an item with a submenu only
  // opens it. Key combinations go to `keys` (null for pop-up menus, which have none).
  GtkWidget* BuildMenu(const std::vector<MenuItemView>& items, MenuRef menu, std::uint64_t id,
                       GCallback chosen, GtkAccelGroup* keys) {
    GtkWidget* shell = gtk_menu_new();
    if (keys) gtk_menu_set_accel_group(GTK_MENU(shell), keys);
    for (const MenuItemView& item : items) {
      GtkWidget* w;
      if (item.separator) {
        w = gtk_separator_menu_item_new();
      } else {
        w = item.checked ? gtk_check_menu_item_new_with_label(item.label.c_str())
                         : gtk_menu_item_new_with_label(item.label.c_str());
        if (item.checked) gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(w), TRUE);
        gtk_widget_set_sensitive(w, item.enabled);
        if (item.submenu)
          gtk_menu_item_set_submenu(GTK_MENU_ITEM(w), BuildMenu(item.submenuItems, item.submenu, id, chosen, keys));
        else
          Connect(w, "activate", chosen, SignalTarget{this, id, menu.id, item.index});
        if (keys && item.key) {
          guint key = gdk_keyval_to_lower(gdk_unicode_to_keyval(item.key));
          int mods = (item.ctrl ? GDK_CONTROL_MASK : 0) | (item.shift ? GDK_SHIFT_MASK : 0) |
                     (item.alt ? GDK_MOD1_MASK : 0);
          gtk_widget_add_accelerator(w, "activate", keys, key, GdkModifierType(mods), GTK_ACCEL_VISIBLE);
        }
      }
      gtk_menu_shell_append(GTK_MENU_SHELL(shell), w);
    }
    return shell;
  }

  void UpdateControls(WindowMirror& m, const WindowView& view) {
    std::map<std::uint64_t, ControlMirror> kept;
    for (const ControlView& c : view.controls) {
      auto found = m.controls.find(c.ref.id);
      const bool fresh = found == m.controls.end();
      ControlMirror mirror;
      if (fresh) {
        mirror.widget = MakeControl(m, mirror, c);
      } else {
        mirror = found->second;
        m.controls.erase(found);
      }
      if (mirror.widget && (fresh || mirror.dirty || mirror.shown != c)) UpdateControl(m, mirror, c);
      mirror.shown = c;
      mirror.dirty = false;
      kept.emplace(c.ref.id, mirror);
    }
    for (auto& [id, gone] : m.controls)
      if (gone.widget) gtk_widget_destroy(gone.widget);
    m.controls = std::move(kept);
  }

  GtkWidget* MakeControl(WindowMirror& m, ControlMirror& mirror, const ControlView& c) {
    GtkWidget* w = nullptr;
    const SignalTarget target{this, c.ref.id};
    const bool across = c.bounds.Width() >= c.bounds.Height();
    if (c.kind == kControlKindPushButton || c.kind == kControlKindBevelButton) {
      w = gtk_button_new_with_label("");
      Connect(w, "clicked", G_CALLBACK(OnClick), target);
    } else if (c.kind == kControlKindCheckBox) {
      w = gtk_check_button_new_with_label("");
      Connect(w, "toggled", G_CALLBACK(OnClick), target);
    } else if (c.kind == kControlKindRadioButton) {
      // A radio button alone in its group could never show "off": a hidden partner holds
      // the group's selection while the model's value is 0.
      w = gtk_radio_button_new_with_label(nullptr, "");
      mirror.inner = gtk_radio_button_new_from_widget(GTK_RADIO_BUTTON(w));
      g_object_ref_sink(mirror.inner);
      g_object_set_data_full(G_OBJECT(w), "partner", mirror.inner,
                             [](gpointer p) { g_object_unref(p); });
      Connect(w, "clicked", G_CALLBACK(OnClick), target);
    } else if (c.kind == kControlKindPopupButton) {
      w = gtk_combo_box_text_new();
      // A long item is cut short rather than widening the pop-up beyond its rectangle.
      GList* cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(w));
      for (GList* l = cells; l; l = l->next)
        if (GTK_IS_CELL_RENDERER_TEXT(l->data)) g_object_set(l->data, "ellipsize", PANGO_ELLIPSIZE_END, nullptr);
      g_list_free(cells);
      // Separator items carry the id "-" and show as lines that cannot be chosen.
      gtk_combo_box_set_row_separator_func(GTK_COMBO_BOX(w), [](GtkTreeModel* model, GtkTreeIter* it, gpointer) -> gboolean {
        gchar* id = nullptr;
        gtk_tree_model_get(model, it, 1, &id, -1);
        const bool line = id && std::string(id) == "-";
        g_free(id);
        return line;
      }, nullptr, nullptr);
      Connect(w, "changed", G_CALLBACK(OnComboChanged), target);
    } else if (c.kind == kControlKindStaticText) {
      w = gtk_label_new("");
      gtk_label_set_xalign(GTK_LABEL(w), 0);
      gtk_label_set_yalign(GTK_LABEL(w), 0);
      gtk_label_set_line_wrap(GTK_LABEL(w), TRUE);
    } else if (c.kind == kControlKindEditText) {
      w = gtk_entry_new();
      gtk_entry_set_width_chars(GTK_ENTRY(w), 0);  // as narrow as the model makes it
      Connect(w, "insert-text", G_CALLBACK(OnInsertText), target);
      Connect(w, "delete-text", G_CALLBACK(OnDeleteText), target);
      Connect(w, "activate", G_CALLBACK(OnActivate), target);
      Connect(w, "key-press-event", G_CALLBACK(OnKeyPress), target);
      Connect(w, "focus-in-event", G_CALLBACK(OnEntryFocus), target);
    } else if (c.kind == kControlKindSlider) {
      w = gtk_scale_new_with_range(across ? GTK_ORIENTATION_HORIZONTAL : GTK_ORIENTATION_VERTICAL, 0, 1, 1);
      gtk_scale_set_draw_value(GTK_SCALE(w), FALSE);
      Connect(w, "change-value", G_CALLBACK(OnSliderChange), target);
    } else if (c.kind == kControlKindScrollBar) {
      w = gtk_scrollbar_new(across ? GTK_ORIENTATION_HORIZONTAL : GTK_ORIENTATION_VERTICAL, nullptr);
      Connect(w, "change-value", G_CALLBACK(OnScrollChange), target);
    } else if (c.kind == kControlKindProgressBar) {
      w = gtk_progress_bar_new();
    } else if (c.kind == kControlKindTabs) {
      w = gtk_notebook_new();
      Connect(w, "switch-page", G_CALLBACK(OnSwitchPage), target);
    } else if (c.kind == kControlKindDataBrowser) {
      w = gtk_scrolled_window_new(nullptr, nullptr);
      gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(w), GTK_SHADOW_IN);
      mirror.inner = gtk_tree_view_new();
      gtk_container_add(GTK_CONTAINER(w), mirror.inner);
      Connect(gtk_tree_view_get_selection(GTK_TREE_VIEW(mirror.inner)), "changed",
              G_CALLBACK(OnListSelection), target);
      gtk_widget_show(mirror.inner);
    } else {
      return nullptr;
    }
    gtk_fixed_put(GTK_FIXED(m.content), w, c.bounds.left, c.bounds.top);
    SetModelSize(w, c.bounds.Width(), c.bounds.Height());
    return w;
  }

  // Called while syncing_, so the widgets' own change signals are not taken for input.
  void UpdateControl(WindowMirror& m, ControlMirror& mirror, const ControlView& c) {
    GtkWidget* w = mirror.widget;
    const ControlView& was = mirror.shown;
    const bool fresh = !was.ref;
    if (fresh || c.fontSize != was.fontSize || c.bold != was.bold) ShowFont(w, c);
    if (c.kind == kControlKindPushButton || c.kind == kControlKindCheckBox ||
        c.kind == kControlKindRadioButton) {
      gtk_button_set_label(GTK_BUTTON(w), c.title.c_str());
      FitButtonLabel(w);
      if (fresh || c.iconFamily != was.iconFamily) ShowIcon(w, c);
      if (fresh || c.defaultButton != was.defaultButton) ShowDefault(w, c.defaultButton);
    } else if (c.kind == kControlKindBevelButton) {
      if (c.swatch) {
        if (fresh || !was.swatch || was.swatchColor != c.swatchColor) ShowSwatch(w, c.swatchColor);
      } else {
        gtk_button_set_label(GTK_BUTTON(w), c.title.c_str());
        FitButtonLabel(w);
        if (fresh || was.swatch || c.iconFamily != was.iconFamily) ShowIcon(w, c);
      }
      if (fresh || c.defaultButton != was.defaultButton) ShowDefault(w, c.defaultButton);
    } else if (c.kind == kControlKindStaticText) {
      gtk_label_set_text(GTK_LABEL(w), c.title.c_str());
      if (fresh || c.fontSize != was.fontSize || c.bold != was.bold || c.bounds.Height() != was.bounds.Height())
        FitLabel(GTK_LABEL(w), c.bounds.Height());
    } else if (c.kind == kControlKindEditText) {
      // Typing reaches the model as it happens, so a difference is the program's own
      // change: the entry takes the text, and the cursor goes where the model puts it.
      if (c.title != gtk_entry_get_text(GTK_ENTRY(w))) {
        gtk_entry_set_text(GTK_ENTRY(w), c.title.c_str());
        int start = 0, end = 0;
        if (GetEditTextSelection(c.ref, &start, &end) == kNoErr) gtk_editable_select_region(GTK_EDITABLE(w), start, end);
      }
    } else if (c.kind == kControlKindPopupButton) {
      if (fresh || c.items != was.items || c.itemSeparators != was.itemSeparators) {
        gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(w));
        for (std::size_t i = 0; i < c.items.size(); ++i) {
          const bool line = i < c.itemSeparators.size() && c.itemSeparators[i];
          gtk_combo_box_text_append(GTK_COMBO_BOX_TEXT(w), line ? "-" : nullptr, c.items[i].c_str());
        }
      }
      gtk_combo_box_set_active(GTK_COMBO_BOX(w), c.value - 1);
    } else if (c.kind == kControlKindSlider || c.kind == kControlKindScrollBar) {
      GtkAdjustment* a = gtk_range_get_adjustment(GTK_RANGE(w));
      const double page = c.kind == kControlKindScrollBar ? std::max(1, c.viewSize) : 0;
      gtk_adjustment_configure(a, c.value, c.minimum, double(c.maximum) + page, 1, page ? page : 1, page);
      if (c.kind == kControlKindSlider &&
          (fresh || c.tickMarks != was.tickMarks || c.minimum != was.minimum || c.maximum != was.maximum)) {
        gtk_scale_clear_marks(GTK_SCALE(w));
        const int marks = std::min(c.tickMarks, 1000);
        for (int i = 0; i < marks; ++i) {
          const double at = marks < 2 ? c.minimum : c.minimum + (double(c.maximum) - c.minimum) * i / (marks - 1);
          gtk_scale_add_mark(GTK_SCALE(w), at, GTK_POS_BOTTOM, nullptr);
        }
      }
    } else if (c.kind == kControlKindProgressBar) {
      const double range = double(c.maximum) - c.minimum;
      gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(w), range > 0 ? (c.value - double(c.minimum)) / range : 0);
    } else if (c.kind == kControlKindTabs) {
      if (fresh || c.items != was.items) {
        while (gtk_notebook_get_n_pages(GTK_NOTEBOOK(w)) > 0) gtk_notebook_remove_page(GTK_NOTEBOOK(w), -1);
        for (const std::string& title : c.items) {
          GtkWidget* page = gtk_label_new("");
          gtk_widget_show(page);
          gtk_notebook_append_page(GTK_NOTEBOOK(w), page, gtk_label_new(title.c_str()));
        }
      }
      if (c.value >= 1) gtk_notebook_set_current_page(GTK_NOTEBOOK(w), c.value - 1);
    } else if (c.kind == kControlKindDataBrowser) {
      UpdateList(mirror, c);
    }
    if (c.kind == kControlKindCheckBox || c.kind == kControlKindRadioButton) {
      gtk_toggle_button_set_inconsistent(GTK_TOGGLE_BUTTON(w), c.value == 2);  // mixed
      if (mirror.inner)
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(c.value == 1 ? w : mirror.inner), TRUE);
      else
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w), c.value == 1);
    }
    gtk_widget_set_tooltip_text(w, c.help.empty() ? nullptr : c.help.c_str());
    if (fresh || c.bounds != was.bounds) {
      gtk_fixed_move(GTK_FIXED(m.content), w, c.bounds.left, c.bounds.top);
      SetModelSize(w, c.bounds.Width(), c.bounds.Height());
    }
    gtk_widget_set_sensitive(w, c.enabled);
    gtk_widget_set_visible(w, c.visible);
  }

  // The model's font: the window's own (the system font) unless the control asks for a
  // size or the bold face.
  static void ShowFont(GtkWidget* w, const ControlView& c) {
    GtkStyleContext* style = gtk_widget_get_style_context(w);
    if (const char* old = static_cast<const char*>(g_object_get_data(G_OBJECT(w), "brivane-font")))
      gtk_style_context_remove_class(style, old);
    gtk_style_context_remove_class(style, "brivane-bold");
    if (c.fontSize > 0) {
      const int size = std::clamp<int>(c.fontSize, kSmallestFont, kLargestFont);
      const std::string name = "brivane-font-" + std::to_string(size);
      gtk_style_context_add_class(style, name.c_str());
      g_object_set_data_full(G_OBJECT(w), "brivane-font", g_strdup(name.c_str()), g_free);
    } else {
      g_object_set_data(G_OBJECT(w), "brivane-font", nullptr);
    }
    if (c.bold) gtk_style_context_add_class(style, "brivane-bold");
  }

  // A title longer than its button ends in an ellipsis instead of widening it. GTK makes
  // a fresh label whenever the title changes.
  static void FitButtonLabel(GtkWidget* button) {
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(button));
    if (label && GTK_IS_LABEL(label)) gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_END);
  }

  // Static text wraps at any character when a word is longer than the line, and what the
  // rectangle cannot hold ends in an ellipsis; a rectangle one line high holds one line.
  static void FitLabel(GtkLabel* label, int height) {
    PangoLayout* probe = gtk_widget_create_pango_layout(GTK_WIDGET(label), "Xg");
    int width = 0, line = 0;
    pango_layout_get_pixel_size(probe, &width, &line);
    g_object_unref(probe);
    // A line's box includes the font's leading: a line that lacks a pixel or two of it
    // still fits.
    line = std::max(1, line);
    const int lines = std::max(1, (height + line / 4) / line);
    gtk_label_set_line_wrap(label, lines > 1);
    gtk_label_set_line_wrap_mode(label, PANGO_WRAP_WORD_CHAR);
    gtk_label_set_lines(label, lines);
    gtk_label_set_ellipsize(label, PANGO_ELLIPSIZE_END);
  }

  // A swatch: the button shows a block of the colour instead of its title.
  static void ShowSwatch(GtkWidget* button, std::uint32_t color) {
    if (GtkWidget* old = gtk_bin_get_child(GTK_BIN(button))) gtk_widget_destroy(old);
    GtkWidget* area = gtk_drawing_area_new();
    auto* rgb = new std::uint32_t(color);
    g_object_set_data_full(G_OBJECT(area), "rgb", rgb, [](gpointer p) { delete static_cast<std::uint32_t*>(p); });
    g_signal_connect(area, "draw", G_CALLBACK(+[](GtkWidget* a, cairo_t* cr, gpointer) -> gboolean {
      const std::uint32_t c = *static_cast<std::uint32_t*>(g_object_get_data(G_OBJECT(a), "rgb"));
      cairo_set_source_rgb(cr, (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, ((c >> 16) & 0xFF) / 255.0);
      cairo_paint(cr);
      return TRUE;
    }), nullptr);
    gtk_container_add(GTK_CONTAINER(button), area);
    gtk_widget_show(area);
  }

  // An image read by GDK's loader of that type; null when it cannot read it.
  static GdkPixbuf* LoadImage(const char* type, std::string_view bytes) {
    GdkPixbuf* pixbuf = nullptr;
    if (GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type(type, nullptr)) {
      const bool read =
          gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(bytes.data()), bytes.size(), nullptr);
      if (gdk_pixbuf_loader_close(loader, nullptr) && read)
        if ((pixbuf = gdk_pixbuf_loader_get_pixbuf(loader))) g_object_ref(pixbuf);
      g_object_unref(loader);
    }
    return pixbuf;
  }

  // The largest image of an icon family: its PNG entries (which GDK's icns loader reads
  // only at some sizes), else what that loader makes of the family.
  static GdkPixbuf* LoadIconFamily(std::string_view family) {
    auto be32 = [&](std::size_t at) {
      return (std::uint32_t(std::uint8_t(family[at])) << 24) | (std::uint32_t(std::uint8_t(family[at + 1])) << 16) |
             (std::uint32_t(std::uint8_t(family[at + 2])) << 8) | std::uint32_t(std::uint8_t(family[at + 3]));
    };
    GdkPixbuf* best = nullptr;
    for (std::size_t at = 8; at + 8 <= family.size();) {
      const std::uint32_t length = be32(at + 4);
      if (length < 8 || length > family.size() - at) break;
      const std::string_view data = family.substr(at + 8, length - 8);
      if (data.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8)) {
        if (GdkPixbuf* image = LoadImage("png", data)) {
          if (!best || gdk_pixbuf_get_width(image) > gdk_pixbuf_get_width(best)) std::swap(best, image);
          if (image) g_object_unref(image);
        }
      }
      at += length;
    }
    return best ? best : LoadImage("icns", family);
  }

  // An icon given to a button as its content, scaled down to fit inside it.
  static void ShowIcon(GtkWidget* button, const ControlView& c) {
    GdkPixbuf* pixbuf = c.iconFamily.empty() ? nullptr : LoadIconFamily(c.iconFamily);
    const int side = std::max(8, std::min(c.bounds.Width(), c.bounds.Height()) - 8);
    if (pixbuf && (gdk_pixbuf_get_width(pixbuf) > side || gdk_pixbuf_get_height(pixbuf) > side)) {
      GdkPixbuf* smaller = gdk_pixbuf_scale_simple(pixbuf, side, side, GDK_INTERP_BILINEAR);
      g_object_unref(pixbuf);
      pixbuf = smaller;
    }
    gtk_button_set_image(GTK_BUTTON(button), pixbuf ? gtk_image_new_from_pixbuf(pixbuf) : nullptr);
    gtk_button_set_always_show_image(GTK_BUTTON(button), pixbuf != nullptr);
    if (pixbuf) g_object_unref(pixbuf);
  }

  // The window's default button is drawn as such (and is GTK's default widget).
  static void ShowDefault(GtkWidget* button, bool isDefault) {
    GtkStyleContext* style = gtk_widget_get_style_context(button);
    gtk_widget_set_can_default(button, isDefault);
    if (isDefault) {
      gtk_widget_grab_default(button);
      gtk_style_context_add_class(style, GTK_STYLE_CLASS_SUGGESTED_ACTION);
    } else {
      gtk_style_context_remove_class(style, GTK_STYLE_CLASS_SUGGESTED_ACTION);
    }
  }

  // The list is changed in place, so that its scroll position stays where the user left
  // it; columns are made again only when they change.
  void UpdateList(ControlMirror& mirror, const ControlView& c) {
    GtkTreeView* view = GTK_TREE_VIEW(mirror.inner);
    const ControlView& was = mirror.shown;
    const bool fresh = !was.ref;
    if (fresh || c.columns != was.columns || c.columnIds != was.columnIds || c.columnMaxWidths != was.columnMaxWidths) {
      while (GtkTreeViewColumn* col = gtk_tree_view_get_column(view, 0)) gtk_tree_view_remove_column(view, col);
      for (std::size_t i = 0; i < c.columns.size(); ++i) {
        GtkTreeViewColumn* col = gtk_tree_view_column_new_with_attributes(
            c.columns[i].c_str(), gtk_cell_renderer_text_new(), "text", static_cast<gint>(i + 1), nullptr);
        gtk_tree_view_column_set_clickable(col, TRUE);
        if (i < c.columnMaxWidths.size() && c.columnMaxWidths[i] > 0)
          gtk_tree_view_column_set_max_width(col, c.columnMaxWidths[i]);
        const std::uint64_t property = i < c.columnIds.size() ? c.columnIds[i] : i + 1;
        Connect(col, "clicked", G_CALLBACK(OnColumnClicked), SignalTarget{this, c.ref.id, property, 0});
        gtk_tree_view_append_column(view, col);
      }
      // The last column would take all the room left over, past its maximum width: an
      // empty column after it takes that room instead.
      GtkTreeViewColumn* filler = gtk_tree_view_column_new();
      gtk_tree_view_column_set_expand(filler, TRUE);
      gtk_tree_view_append_column(view, filler);
      bool titled = false;
      for (const std::string& t : c.columns) titled = titled || !t.empty();
      gtk_tree_view_set_headers_visible(view, titled);
    }
    for (std::size_t i = 0; i < c.columns.size(); ++i) {
      GtkTreeViewColumn* col = gtk_tree_view_get_column(view, static_cast<gint>(i));
      const bool sorted = c.sortColumn && i < c.columnIds.size() && c.columnIds[i] == c.sortColumn;
      if (!col) continue;
      gtk_tree_view_column_set_sort_indicator(col, sorted);
      if (sorted) gtk_tree_view_column_set_sort_order(col, c.sortDecreasing ? GTK_SORT_DESCENDING : GTK_SORT_ASCENDING);
    }
    GtkTreeModel* model = gtk_tree_view_get_model(view);
    const gint width = static_cast<gint>(c.columns.size() + 1);
    if (!model || gtk_tree_model_get_n_columns(model) != width) {
      std::vector<GType> types(c.columns.size() + 1, G_TYPE_STRING);
      types[0] = G_TYPE_UINT;  // the item id
      GtkListStore* store = gtk_list_store_newv(width, types.data());
      gtk_tree_view_set_model(view, GTK_TREE_MODEL(store));
      g_object_unref(store);
      model = GTK_TREE_MODEL(store);
    }
    GtkListStore* store = GTK_LIST_STORE(model);
    if (fresh || c.rows != was.rows || c.rowIds != was.rowIds || c.columns != was.columns) {
      GtkTreeIter it;
      bool have = gtk_tree_model_get_iter_first(model, &it);
      for (std::size_t r = 0; r < c.rows.size() && r < c.rowIds.size(); ++r) {
        if (!have) gtk_list_store_append(store, &it);
        gtk_list_store_set(store, &it, 0, c.rowIds[r], -1);
        for (std::size_t k = 0; k < c.columns.size(); ++k)
          gtk_list_store_set(store, &it, static_cast<gint>(k + 1), k < c.rows[r].size() ? c.rows[r][k].c_str() : "", -1);
        have = gtk_tree_model_iter_next(model, &it);
      }
      while (have) have = gtk_list_store_remove(store, &it);
    }
    ShowListSelection(view, c.selected);
  }

  // The rows the model holds selected, selected on screen; a selection the screen did not
  // show yet (one the program made) is scrolled into view. Called while syncing_.
  static void ShowListSelection(GtkTreeView* view, const std::vector<std::uint32_t>& selected) {
    GtkTreeSelection* selection = gtk_tree_view_get_selection(view);
    GtkTreeModel* model = gtk_tree_view_get_model(view);
    if (!model) return;
    std::vector<std::uint32_t> shown;
    GtkTreeIter it;
    for (bool ok = gtk_tree_model_get_iter_first(model, &it); ok; ok = gtk_tree_model_iter_next(model, &it)) {
      guint id = 0;
      gtk_tree_model_get(model, &it, 0, &id, -1);
      if (gtk_tree_selection_iter_is_selected(selection, &it)) shown.push_back(id);
    }
    std::vector<std::uint32_t> wanted = selected;
    std::sort(shown.begin(), shown.end());
    std::sort(wanted.begin(), wanted.end());
    if (shown == wanted || (shown.size() == 1 && std::binary_search(wanted.begin(), wanted.end(), shown[0]))) return;
    gtk_tree_selection_unselect_all(selection);
    GtkTreePath* first = nullptr;
    for (bool ok = gtk_tree_model_get_iter_first(model, &it); ok; ok = gtk_tree_model_iter_next(model, &it)) {
      guint id = 0;
      gtk_tree_model_get(model, &it, 0, &id, -1);
      if (!std::binary_search(wanted.begin(), wanted.end(), id)) continue;
      gtk_tree_selection_select_iter(selection, &it);
      first = gtk_tree_model_get_path(model, &it);
      break;  // the view selects one row, as the program's lists do
    }
    if (first) {
      gtk_tree_view_scroll_to_cell(view, first, nullptr, FALSE, 0, 0);
      gtk_tree_path_free(first);
    }
  }

  // A widget that changed by itself shows the model's state again at the next wait.
  void Reshow(std::uint64_t control) {
    for (auto& [id, m] : windows_)
      if (auto it = m->controls.find(control); it != m->controls.end()) it->second.dirty = true;
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

  // The filter GTK lists with names the pop-up item the user chose; the model hears of the
  // choice at once, so that the listing already follows it.
  static gboolean OnChooserFilterItem(const GtkFileFilterInfo* info, gpointer data) {
    auto* t = static_cast<SignalTarget*>(data);
    NavDialogRef ref{t->id};
    const NavDialogView view = ViewOfNavDialog(ref);
    if (!view.options.popupExtension.empty() && view.popupIndex != t->index)
      NavDialogSelectPopup(ref, t->index);
    return info->filename && NavDialogShowsItem(ref, info->filename);
  }

  static void OnChooserFilterChanged(GObject* object, GParamSpec*, gpointer data) {
    auto* t = static_cast<SignalTarget*>(data);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(object);
    GtkFileFilter* filter = gtk_file_chooser_get_filter(chooser);
    if (!filter) return;
    NavDialogRef ref{t->id};
    const int index = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(filter), "brivane-index"));
    NavDialogView view = ViewOfNavDialog(ref);
    if (view.options.popupExtension.empty() || view.popupIndex == index) return;
    NavDialogSelectPopup(ref, index);
    view = ViewOfNavDialog(ref);
    if (view.kind == kNavPutFileDialog)
      gtk_file_chooser_set_current_name(chooser, WideToUtf8(view.saveFileName).c_str());
  }

  static void OnChooserResponse(GtkDialog* dialog, gint response, gpointer data) {
    auto* t = static_cast<SignalTarget*>(data);
    NavDialogRef ref{t->id};
    if (response != GTK_RESPONSE_ACCEPT) {
      t->backend->Input([ref] { NavDialogCancel(ref); });
      return;
    }
    std::vector<std::string> paths;
    GSList* files = gtk_file_chooser_get_filenames(GTK_FILE_CHOOSER(dialog));
    for (GSList* l = files; l; l = l->next) {
      paths.emplace_back(static_cast<const char*>(l->data));
      g_free(l->data);
    }
    g_slist_free(files);
    if (paths.empty()) return;
    t->backend->Input([ref, paths] { NavDialogAccept(ref, paths, true); });
  }

  // Return, Enter and Escape in a dialog go to the model as its keys (the default and
  // cancel buttons); an edit field keeps Return for itself.
  static gboolean OnDialogKey(GtkWidget* widget, GdkEventKey* key, gpointer data) {
    auto* t = static_cast<SignalTarget*>(data);
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

  // The focus moving to a window brings it to the front of the model. The focus that an
  // earlier present gave another window arrives after the model's newer choice, though:
  // taken as the user's, it would bring that window back, whose present would again move
  // the focus, without end (and GTK would never get to draw). Until the window last
  // presented has the focus (or a window manager has had a second to refuse it), focus
  // elsewhere is such an echo.
  static gboolean OnFocusIn(GtkWidget*, GdkEvent*, gpointer data) {
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
    t->backend->Reshow(t->id);  // a toggle shows the model's value again, whatever the click did
    // A bevel button with a menu offers it; a choice is then one hit with the menu part.
    MenuRef menu = GetControlKind(control) == kControlKindBevelButton ? GetControlMenu(control) : MenuRef{};
    if (menu && CountMenuItems(menu) > 0) {
      GtkWidget* popup =
          t->backend->BuildMenu(ViewOfMenuItems(menu), menu, t->id, G_CALLBACK(OnBevelMenuItem), nullptr);
      gtk_widget_show_all(popup);
      gtk_menu_popup_at_pointer(GTK_MENU(popup), nullptr);
      return;
    }
    t->backend->Input([control] { HitControl(control); });
  }

  static void OnBevelMenuItem(GtkWidget*, gpointer data) {
    auto* t = static_cast<SignalTarget*>(data);
    ControlRef control{t->id};
    MenuRef menu{t->menu};
    const std::uint16_t index = t->index;
    t->backend->Input([control, menu, index] { ChooseControlMenuItem(control, menu, index); });
  }

  static void OnComboChanged(GtkComboBox* combo, gpointer data) {
    auto* t = static_cast<SignalTarget*>(data);
    if (t->backend->syncing_) return;
    const gint active = gtk_combo_box_get_active(combo);
    if (active < 0) return;
    ControlRef control{t->id};
    t->backend->Reshow(t->id);
    t->backend->Input([control, active] {
      ChooseControlMenuItem(control, GetControlMenu(control), static_cast<std::uint16_t>(active + 1));
    });
  }

  // Typing reaches the model's field at once, key by key in the order GTK sees them: the
  // model's key filter decides, and the entry changes by exactly what the model took, so
  // the cursor and selection stay where the user put them. (Typing left for later would
  // place a fast key by a text the entry did not show yet.) A key filter only decides;
  // what a commit starts comes from Return and Tab, which still go through the input queue.
  static void OnInsertText(GtkEditable* editable, gchar* text, gint length, gint* position, gpointer data) {
    auto* t = static_cast<SignalTarget*>(data);
    if (t->backend->syncing_) return;
    g_signal_stop_emission_by_name(editable, "insert-text");
    ControlRef control{t->id};
    if (!IsValidControlRef(control)) return;
    const std::wstring typed =
        Utf8ToWide(length < 0 ? std::string(text) : std::string(text, static_cast<std::size_t>(length)));
    // GTK has removed a selection that the text replaces (with delete-text) already.
    SetEditTextSelection(control, *position, *position);
    std::wstring taken;
    for (wchar_t c : typed) {
      if (c < 32 || c == 127) continue;  // control characters are keys, not text
      bool passed = false;
      if (TypeCharacter(control, static_cast<char32_t>(c), &passed) != kNoErr) break;
      if (passed) taken.push_back(c);
    }
    t->backend->ShowTyped(GTK_ENTRY(editable), control, taken, position);
  }

  // The entry takes what the model took; should it then differ from the model (a filter
  // that changed the text itself), it shows the model's text and selection.
  void ShowTyped(GtkEntry* entry, ControlRef control, const std::wstring& taken, gint* position) {
    const bool was = syncing_;
    syncing_ = true;
    if (!taken.empty()) gtk_editable_insert_text(GTK_EDITABLE(entry), WideToUtf8(taken).c_str(), -1, position);
    if (IsValidControlRef(control)) {
      const std::string text = WideToUtf8(GetControlTitle(control));
      if (text != gtk_entry_get_text(entry)) {
        gtk_entry_set_text(entry, text.c_str());
        int start = 0, end = 0;
        GetEditTextSelection(control, &start, &end);
        *position = end;
      }
    }
    syncing_ = was;
  }

  static void OnDeleteText(GtkEditable* editable, gint start, gint end, gpointer data) {
    auto* t = static_cast<SignalTarget*>(data);
    if (t->backend->syncing_) return;
    ControlRef control{t->id};
    std::wstring shown = Utf8ToWide(gtk_entry_get_text(GTK_ENTRY(editable)));
    const int length = static_cast<int>(shown.size());
    if (end < 0 || end > length) end = length;
    start = std::clamp(start, 0, end);
    if (start == end || !IsValidControlRef(control)) return;
    SetEditTextSelection(control, start, end);
    bool passed = false;
    TypeCharacter(control, 127, &passed);
    shown.erase(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
    if (passed && IsValidControlRef(control) && GetControlTitle(control) == shown) return;  // GTK deletes the same
    g_signal_stop_emission_by_name(editable, "delete-text");
    gint at = start;
    t->backend->ShowTyped(GTK_ENTRY(editable), control, L"", &at);
  }

  // Return commits the field, then presses the window's default button when it has one.
  static void OnActivate(GtkEntry*, gpointer data) {
    auto* t = static_cast<SignalTarget*>(data);
    ControlRef control{t->id};
    t->backend->Input([control] {
      TypeCharacter(control, 13);
      const WindowRef window = GetControlOwner(control);
      if (IsValidControlRef(control) && GetWindowDefaultButton(window)) PressKey(window, kReturnKeyCode);
    });
  }

  static gboolean OnKeyPress(GtkWidget*, GdkEventKey* key, gpointer data) {
    auto* t = static_cast<SignalTarget*>(data);
    if (key->keyval == GDK_KEY_Tab || key->keyval == GDK_KEY_ISO_Left_Tab) {
      ControlRef control{t->id};
      t->backend->Input([control] {
        SetKeyboardFocus(GetControlOwner(control), control);
        PressKey(GetControlOwner(control), kTabKeyCode);
      });
    }
    return FALSE;  // GTK moves its own focus too
  }

  static gboolean OnEntryFocus(GtkWidget*, GdkEvent*, gpointer data) {
    auto* t = static_cast<SignalTarget*>(data);
    if (t->backend->syncing_) return FALSE;
    ControlRef control{t->id};
    t->backend->Input([control] {
      if (GetKeyboardFocus(GetControlOwner(control)) != control) SetKeyboardFocus(GetControlOwner(control), control);
    });
    return FALSE;
  }

  static gboolean OnSliderChange(GtkRange*, GtkScrollType, gdouble value, gpointer data) {
    auto* t = static_cast<SignalTarget*>(data);
    if (t->backend->syncing_) return TRUE;
    ControlRef control{t->id};
    const auto v = static_cast<std::int32_t>(std::clamp(std::round(value), -2147483648.0, 2147483647.0));
    t->backend->Reshow(t->id);
    t->backend->Input([control, v] {
      SetControlValue(control, v);
      HitControl(control);
    });
    return TRUE;  // the model decides the value
  }

  // A scroll bar is tracked by its window, as a press on the part the user hit.
  static gboolean OnScrollChange(GtkRange*, GtkScrollType scroll, gdouble value, gpointer data) {
    auto* t = static_cast<SignalTarget*>(data);
    if (t->backend->syncing_) return TRUE;
    ControlRef control{t->id};
    t->backend->Reshow(t->id);
    ControlPartCode part = kControlIndicatorPart;
    switch (scroll) {
      case GTK_SCROLL_STEP_BACKWARD: case GTK_SCROLL_STEP_UP: case GTK_SCROLL_STEP_LEFT: part = kControlUpButtonPart; break;
      case GTK_SCROLL_STEP_FORWARD: case GTK_SCROLL_STEP_DOWN: case GTK_SCROLL_STEP_RIGHT: part = kControlDownButtonPart; break;
      case GTK_SCROLL_PAGE_BACKWARD: case GTK_SCROLL_PAGE_UP: case GTK_SCROLL_PAGE_LEFT: part = kControlPageUpPart; break;
      case GTK_SCROLL_PAGE_FORWARD: case GTK_SCROLL_PAGE_DOWN: case GTK_SCROLL_PAGE_RIGHT: part = kControlPageDownPart; break;
      default: break;
    }
    t->backend->Input([control, part, value] {
      if (part != kControlIndicatorPart) {
        PressControlPart(control, part);
        return;
      }
      // A jump or drag of the thumb: dragged from its place by the distance the value moves.
      Rect r;
      Point from;
      if (GetControlBounds(control, &r) != kNoErr || !PointOfControlPart(control, part, &from)) return;
      const bool across = r.Width() > r.Height();
      const double range = double(GetControlMaximum(control)) - GetControlMinimum(control);
      const int travel = (across ? r.Width() : r.Height()) - 48;
      if (range <= 0 || travel <= 0) return;
      // GTK reports values past the ends (a click near the end of the track, a long drag);
      // the model's thumb goes no further than its range.
      const double target = std::clamp(value, double(GetControlMinimum(control)), double(GetControlMaximum(control)));
      const double pixels = (target - GetControlValue(control)) * travel / range;
      Point to = from;
      short& axis = across ? to.h : to.v;
      axis = Clamp16(static_cast<int>(std::lround(axis + std::clamp(pixels, -40000.0, 40000.0))));
      PressControlPart(control, part, {to});
    });
    return TRUE;
  }

  static void OnSwitchPage(GtkNotebook*, GtkWidget*, guint page, gpointer data) {
    auto* t = static_cast<SignalTarget*>(data);
    if (t->backend->syncing_) return;
    ControlRef control{t->id};
    t->backend->Reshow(t->id);
    t->backend->Input([control, page] { ClickTab(control, static_cast<std::int32_t>(page + 1)); });
  }

  static void OnListSelection(GtkTreeSelection* selection, gpointer data) {
    auto* t = static_cast<SignalTarget*>(data);
    if (t->backend->syncing_) return;
    GtkTreeModel* model = nullptr;
    GtkTreeIter it;
    if (!gtk_tree_selection_get_selected(selection, &model, &it)) {
      // A click that emptied the selection (Ctrl-click) changes nothing in the model: the
      // screen shows the model's selection again.
      t->backend->syncing_ = true;
      ShowListSelection(gtk_tree_selection_get_tree_view(selection), GetDataBrowserSelectedItems(ControlRef{t->id}));
      t->backend->syncing_ = false;
      return;
    }
    guint id = 0;
    gtk_tree_model_get(model, &it, 0, &id, -1);
    ControlRef control{t->id};
    t->backend->Reshow(t->id);
    t->backend->Input([control, id] { SelectDataBrowserItemByUser(control, id); });
  }

  static void OnColumnClicked(GtkTreeViewColumn*, gpointer data) {
    auto* t = static_cast<SignalTarget*>(data);
    if (t->backend->syncing_) return;
    ControlRef control{t->id};
    const auto property = static_cast<DataBrowserPropertyID>(t->menu);
    t->backend->Input([control, property] { SortDataBrowser(control, property); });
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
  std::map<std::uint64_t, GtkWidget*> choosers_;  // running file dialogs
  std::deque<std::function<void()>> input_;
  WindowRef front_;
  WindowRef presented_;    // presented and not yet focused
  gint64 presentedAt_ = 0;
  bool syncing_ = false;
  bool closed_ = false;
};

}  // namespace

GtkShownWindow GtkWindowAsShown(WindowRef window) {
  auto* gtk = dynamic_cast<GtkBackend*>(GetDisplayBackend());
  return gtk ? gtk->AsShown(window) : GtkShownWindow{};
}

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

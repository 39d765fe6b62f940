#pragma once
// The GTK back end's own declarations, shared by the files it is made of:
//   GtkDisplay.cpp          the back end's life, its input queue and the wait for input
//   GtkDisplayWindows.cpp   windows: making, placing, stacking, focus and their signals
//   GtkDisplayPane.cpp      the content pane that gives each control the model's rectangle
//   GtkDisplayControls.cpp  controls: making, updating and their signals
//   GtkDisplayEditText.cpp  edit fields: typing, the caret, Return and Tab
//   GtkDisplayMenus.cpp     the menu bar and pop-up menus
//   GtkDisplayChoosers.cpp  the file and colour choosers
//   GtkDisplayGone.cpp      X11: what the X server refuses once another client has
//                           destroyed a window of the program's
// Nothing here is for use outside the back end (GtkDisplay.h is its public face).
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "toolbox/Alerts.h"
#include "toolbox/DisplayMirror.h"
#include "toolbox/GtkDisplay.h"
#include "toolbox/Menus.h"
#include "toolbox/Navigation.h"

struct _XDisplay;  // Xlib's Display

namespace toolbox::gtk_backend {

inline short Clamp16(int v) { return static_cast<short>(std::clamp(v, -32768, 32767)); }

// The panes' font: its family, and the system font's size in pixels.
constexpr const char* kPaneFontFamily = "sans-serif";
constexpr int kSystemFontPixels = 13;
constexpr int kSmallestFont = 6;
constexpr int kLargestFont = 48;

// --- the content pane (GtkDisplayPane.cpp) ---
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

#define MODEL_PANE(obj) \
  (G_TYPE_CHECK_INSTANCE_CAST((obj), ::toolbox::gtk_backend::model_pane_get_type(), ::toolbox::gtk_backend::ModelPane))

// A child's rectangle is its place in the pane and this size.
void SetModelSize(GtkWidget* child, int width, int height);

// The style that makes controls as compact as the model's rectangles, installed once.
void InstallPaneStyle();

// --- the mirror of windows and controls ---

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
  bool centredOnParent = false;  // a modal dialog first shown over the window it belongs to
  int placedLeft = 0, placedTop = 0;  // where it stands as last asked or reported (its frame's corner)
  bool overChooser = false;      // a modal dialog a file dialog shows over its chooser
  bool focusChosen = false;      // the keyboard focus it starts with has been given
};

#ifdef BRIVANE_HAVE_X11
// X windows of the program that another client destroyed (GtkDisplayGone.cpp). The errors
// the X server then sends for what the program still asked of them are dropped: they are
// noted gone, with every native window inside, as the news arrives (the server took the
// request `from` last before it destroyed them), and told when their widget has been taken
// down. WatchXErrors installs the hook that drops those errors, once, as GTK starts.
void WatchXErrors(::_XDisplay* xdisplay);
void NoteWindowsGone(GdkWindow* toplevel, unsigned long from);
void WindowsGoneTakenDown();
#endif

class GtkBackend;

// What a signal handler needs to find its model object again; each connection owns one.
struct SignalTarget {
  GtkBackend* backend;
  std::uint64_t id;        // window or control
  std::uint64_t menu = 0;  // menu items: the menu and the item's index
  std::uint16_t index = 0;
};

void Connect(gpointer widget, const char* signal, GCallback callback, const SignalTarget& target);

// Shows the model's caret and selection of an edit field in its entry.
void ShowCaret(GtkEntry* entry, const ControlView& c);

// Keys reach a window's focus only once that widget is realised. GTK moves the focus to a
// widget it has just shown (the location field a file chooser opens on Ctrl+L, a field of
// a window not drawn yet) before realising it, and a key arriving in between would be
// dropped with a critical warning: the focus is realised first, and takes the key.
void RealizeFocusForKeys(GtkWidget* window);

// Signal handlers only queue input for the model (Input); the model takes it when it next
// waits for input, outside any GTK signal.
class GtkBackend : public DisplayBackend {
 public:
  GtkBackend();
  ~GtkBackend() override;

  std::string Name() const override { return "GTK"; }
  bool WaitForInput(double seconds) override;

  void WindowShown(WindowRef) override { Sync(); }
  void WindowHidden(WindowRef) override { Sync(); }
  void WindowDisposed(WindowRef) override { Sync(); }
  void MenuBarChanged() override { Sync(); }
  bool OpenUri(const std::string& uri) override;
  bool Spawn(const std::vector<std::string>& argv) override;

  GtkShownWindow AsShown(WindowRef window);

  // GtkDisplayControls.cpp
  int TextHeight(const std::string& utf8, int width, int fontSize, bool bold) override;
  // GtkDisplayWindows.cpp
  bool ScreenArea(Rect* area) override;

  // GtkDisplayChoosers.cpp
  void FileDialogShown(NavDialogRef ref) override;
  void FileDialogClosed(NavDialogRef ref) override;
  bool PickColor(const std::wstring& prompt, const RGBColor& in, RGBColor* out) override;

 private:
  // GtkDisplay.cpp: the input queue and the wait. A piece of input may wait for an answer
  // from outside (a paste, for the clipboard's owner): first in line, it asks (the first
  // time `ready` is called) and holds back all input behind it until `ready` holds.
  struct QueuedInput {
    std::function<void()> action;
    std::function<bool()> ready;  // none: ready at once
  };
  void Pump(double seconds);
  void Input(std::function<void()> action, std::function<bool()> ready = nullptr) {
    input_.push_back({std::move(action), std::move(ready)});
  }
  bool InputReady() const { return !input_.empty() && (!input_.front().ready || input_.front().ready()); }
  static void OnDisplayClosed(GdkDisplay*, gboolean, gpointer data);

  // GtkDisplayWindows.cpp
  void Sync();
  std::unique_ptr<WindowMirror> Create(const WindowView& view);
  GtkWidget* FrontChooser();
  GtkWindow* ParentFor(WindowRef dialog);
  bool CentreOver(GtkWindow* parent, int width, int height, int* x, int* y);
  struct Margins {
    int left = 0, top = 0, right = 0, bottom = 0;
  };
  static Margins FrameMargins(GtkWidget* window);
  GtkWindow* SheetParentFor(WindowRef sheet);
  void Update(WindowMirror& m, const WindowView& view, const std::vector<MenuView>& menus);
  void ShowAlertIcon(WindowMirror& m, AlertType type);
  void Place(WindowMirror& m, const WindowView& view);
  void FocusFirst(WindowMirror& m, const WindowView& view);
  WindowMirror* Find(std::uint64_t window);
  void ReportBounds(std::uint64_t id);
  void QueueBoundsReport(std::uint64_t id);
  static gboolean OnDialogKey(GtkWidget* widget, GdkEventKey* key, gpointer data);
  bool ScrollTextByKey(std::uint64_t id, guint keyval);
  static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data);
  static GdkFilterReturn OnXEvent(GdkXEvent* xevent, GdkEvent*, gpointer data);
  void DestroyedOutside(GdkWindow* toplevel);
  static gboolean OnConfigure(GtkWidget*, GdkEvent*, gpointer data);
  static gboolean OnWindowState(GtkWidget* widget, GdkEventWindowState* state, gpointer);
  static void OnContentResized(GtkWidget*, GdkRectangle*, gpointer data);
  static gboolean OnFocusIn(GtkWidget*, GdkEvent*, gpointer data);
  static void OnDrop(GtkWidget* widget, GdkDragContext*, gint x, gint y, GtkSelectionData* data, guint, guint,
                     gpointer user);

  // GtkDisplayMenus.cpp
  void BuildMenuBar(WindowMirror& m, WindowRef window, const std::vector<MenuView>& menus);
  GtkWidget* BuildMenu(const std::vector<MenuItemView>& items, MenuRef menu, std::uint64_t id, GCallback chosen,
                       GtkAccelGroup* keys);
  static void OnMenuItem(GtkWidget*, gpointer data);

  // GtkDisplayControls.cpp
  void UpdateControls(WindowMirror& m, const WindowView& view);
  GtkWidget* MakeControl(WindowMirror& m, ControlMirror& mirror, const ControlView& c);
  void UpdateControl(WindowMirror& m, ControlMirror& mirror, const ControlView& c);
  void UpdateList(ControlMirror& mirror, const ControlView& c);
  void Reshow(std::uint64_t control);
  static void OnClick(GtkWidget*, gpointer data);
  static void OnBevelMenuItem(GtkWidget*, gpointer data);
  static void OnComboChanged(GtkComboBox* combo, gpointer data);
  static gboolean OnSliderChange(GtkRange*, GtkScrollType, gdouble value, gpointer data);
  static gboolean OnScrollChange(GtkRange*, GtkScrollType scroll, gdouble value, gpointer data);
  static void OnSwitchPage(GtkNotebook*, GtkWidget*, guint page, gpointer data);
  static void OnListSelection(GtkTreeSelection* selection, gpointer data);
  static void OnColumnClicked(GtkTreeViewColumn*, gpointer data);

  // GtkDisplayEditText.cpp
  static void OnInsertText(GtkEditable* editable, gchar* text, gint length, gint* position, gpointer data);
  void ShowTyped(GtkEntry* entry, ControlRef control, const std::wstring& taken, gint* position);
  static void OnCaretMoved(GObject* object, GParamSpec*, gpointer data);
  static void OnMoveCursor(GtkEntry* entry, GtkMovementStep step, gint count, gboolean extend, gpointer data);
  static void OnDeleteText(GtkEditable* editable, gint start, gint end, gpointer data);
  static void OnDeleteKey(GtkEntry* entry, GtkDeleteType type, gint count, gpointer data);
  static void OnBackspace(GtkEntry* entry, gpointer data);
  static void OnCopy(GtkEntry* entry, gpointer data);
  static void OnPaste(GtkEntry* entry, gpointer data);
  static void OnActivate(GtkEntry*, gpointer data);
  static gboolean OnKeyPress(GtkWidget*, GdkEventKey* key, gpointer data);
  static gboolean OnEntryFocus(GtkWidget*, GdkEvent*, gpointer data);

  // GtkDisplayChoosers.cpp
  static gboolean OnChooserFilterItem(const GtkFileFilterInfo* info, gpointer data);
  static void OnChooserFilterChanged(GObject* object, GParamSpec*, gpointer data);
  static void OnChooserResponse(GtkDialog* dialog, gint response, gpointer data);

  std::map<std::uint64_t, std::unique_ptr<WindowMirror>> windows_;
  std::map<std::uint64_t, GtkWidget*> choosers_;  // running file dialogs
  std::deque<QueuedInput> input_;
  WindowRef front_;
  WindowRef presented_;    // presented and not yet focused
  gint64 presentedAt_ = 0;
  bool syncing_ = false;
  bool closed_ = false;
};

}  // namespace toolbox::gtk_backend

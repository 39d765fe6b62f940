// The GTK back end's edit fields: typing, deleting, Return, Tab and focus.
#include "toolbox/GtkDisplayBackend.h"

#include <string>

#include "toolbox/Controls.h"
#include "toolbox/Events.h"
#include "toolbox/Utf8.h"
#include "toolbox/Windows.h"

namespace toolbox::gtk_backend {

namespace {

// Types the characters into the model's field where its selection is; what its key filter
// took.
std::wstring TypeInto(ControlRef control, const std::wstring& typed) {
  std::wstring taken;
  for (wchar_t c : typed) {
    if (c < 32 || c == 127) continue;  // control characters are keys, not text
    bool passed = false;
    if (!IsValidControlRef(control) || TypeCharacter(control, static_cast<char32_t>(c), &passed) != kNoErr) break;
    if (passed) taken.push_back(c);
  }
  return taken;
}

}  // namespace

// Input reaches the model in the order the user gave it. With nothing waiting in the input
// queue, typing reaches the model's field at once, key by key: the model's key filter
// decides, and the entry changes by exactly what the model took, so the cursor and
// selection stay where the user put them. Behind anything still waiting in the queue (a
// Return, Tab or click, a window's move), typing waits its turn there too (a commit must not
// see keys typed after it), and is then typed where the model's cursor stands by then,
// which is where the user put the entry's (OnCaretMoved); the entry shows it once the
// model has it.
void GtkBackend::OnInsertText(GtkEditable* editable, gchar* text, gint length, gint* position, gpointer data) {
  auto* t = static_cast<SignalTarget*>(data);
  if (t->backend->syncing_) return;
  g_signal_stop_emission_by_name(editable, "insert-text");
  ControlRef control{t->id};
  if (!IsValidControlRef(control)) return;
  const std::wstring typed =
      Utf8ToWide(length < 0 ? std::string(text) : std::string(text, static_cast<std::size_t>(length)));
  if (!t->backend->input_.empty()) {
    t->backend->Input([control, typed] { TypeInto(control, typed); });
    return;
  }
  // GTK has removed a selection that the text replaces (with delete-text) already.
  SetEditTextSelection(control, *position, *position);
  t->backend->ShowTyped(GTK_ENTRY(editable), control, TypeInto(control, typed), position);
}

// The entry takes what the model took; should it then differ from the model (a filter
// that changed the text itself), it shows the model's text and selection.
void GtkBackend::ShowTyped(GtkEntry* entry, ControlRef control, const std::wstring& taken, gint* position) {
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

// The cursor and selection the user sets on screen (arrows, Home and End, clicks, drags)
// reach the model's field in the same order as the keys around them: at once with nothing
// waiting, else behind what waits.
void GtkBackend::OnCaretMoved(GObject* object, GParamSpec*, gpointer data) {
  auto* t = static_cast<SignalTarget*>(data);
  if (t->backend->syncing_) return;
  GtkEditable* editable = GTK_EDITABLE(object);
  gint start = 0, end = 0;
  if (!gtk_editable_get_selection_bounds(editable, &start, &end)) start = end = gtk_editable_get_position(editable);
  auto place = [control = ControlRef{t->id}, start, end] {
    if (IsValidControlRef(control)) SetEditTextSelection(control, start, end);
  };
  if (t->backend->input_.empty())
    place();
  else
    t->backend->Input(place);
}

void GtkBackend::OnDeleteText(GtkEditable* editable, gint start, gint end, gpointer data) {
  auto* t = static_cast<SignalTarget*>(data);
  if (t->backend->syncing_) return;
  ControlRef control{t->id};
  std::wstring shown = Utf8ToWide(gtk_entry_get_text(GTK_ENTRY(editable)));
  const int length = static_cast<int>(shown.size());
  if (end < 0 || end > length) end = length;
  start = std::clamp(start, 0, end);
  if (start == end || !IsValidControlRef(control)) return;
  if (!t->backend->input_.empty()) {
    // Behind input still waiting: the deletion waits its turn, and takes the model's
    // selection then, or as many characters after its cursor (Delete) or before it
    // (Backspace), as GTK would have.
    gint from = 0, to = 0;
    const bool forward =
        !gtk_editable_get_selection_bounds(editable, &from, &to) && start == gtk_editable_get_position(editable);
    g_signal_stop_emission_by_name(editable, "delete-text");
    t->backend->Input([control, count = end - start, forward] {
      int from = 0, to = 0;
      if (GetEditTextSelection(control, &from, &to) != kNoErr) return;
      if (from == to) SetEditTextSelection(control, forward ? to : std::max(0, to - count), forward ? to + count : to);
      TypeCharacter(control, 127);
    });
    return;
  }
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
void GtkBackend::OnActivate(GtkEntry*, gpointer data) {
  auto* t = static_cast<SignalTarget*>(data);
  ControlRef control{t->id};
  t->backend->Input([control] {
    TypeCharacter(control, 13);
    const WindowRef window = GetControlOwner(control);
    if (IsValidControlRef(control) && GetWindowDefaultButton(window)) PressKey(window, kReturnKeyCode);
  });
}

gboolean GtkBackend::OnKeyPress(GtkWidget*, GdkEventKey* key, gpointer data) {
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

gboolean GtkBackend::OnEntryFocus(GtkWidget*, GdkEvent*, gpointer data) {
  auto* t = static_cast<SignalTarget*>(data);
  if (t->backend->syncing_) return FALSE;
  ControlRef control{t->id};
  t->backend->Input([control] {
    if (GetKeyboardFocus(GetControlOwner(control)) != control) SetKeyboardFocus(GetControlOwner(control), control);
  });
  return FALSE;
}

}  // namespace toolbox::gtk_backend

// The GTK back end's edit fields: typing, deleting, Return, Tab and focus.
#include "toolbox/GtkDisplayBackend.h"

#include <string>

#include "toolbox/Controls.h"
#include "toolbox/Events.h"
#include "toolbox/Utf8.h"
#include "toolbox/Windows.h"

namespace toolbox::gtk_backend {

// Typing reaches the model's field at once, key by key in the order GTK sees them: the
// model's key filter decides, and the entry changes by exactly what the model took, so
// the cursor and selection stay where the user put them. (Typing left for later would
// place a fast key by a text the entry did not show yet.) A key filter only decides;
// what a commit starts comes from Return and Tab, which still go through the input queue.
void GtkBackend::OnInsertText(GtkEditable* editable, gchar* text, gint length, gint* position, gpointer data) {
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

void GtkBackend::OnDeleteText(GtkEditable* editable, gint start, gint end, gpointer data) {
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

// The GTK back end's edit fields: typing, deleting, the caret, the clipboard, Return, Tab and focus.
#include "toolbox/GtkDisplayBackend.h"

#include <memory>
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

// Whether GTK is handling a key that types a character (and no shortcut) now.
bool TypingNow() {
  GdkEvent* event = gtk_get_current_event();
  if (!event) return false;
  bool typing = false;
  if (event->type == GDK_KEY_PRESS) {
    const gunichar c = gdk_keyval_to_unicode(event->key.keyval);
    typing = c >= 32 && c != 127 && !(event->key.state & (GDK_CONTROL_MASK | GDK_MOD1_MASK));
  }
  gdk_event_free(event);
  return typing;
}

}  // namespace

// Input reaches the model in the order the user gave it. With nothing waiting in the input
// queue, typing reaches the model's field at once, key by key: the model's key filter
// decides, and the entry changes by exactly what the model took, so the cursor and
// selection stay where the user put them. Behind anything still waiting in the queue (a
// Return, Tab or click, a window's move), typing waits its turn there too (a commit must not
// see keys typed after it), and is then typed where the model's cursor stands by then,
// which is where the user's clicks and caret keys put it (OnCaretMoved, OnMoveCursor); the
// entry shows it once the model has it.
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
  // The text replaces the selection, which typing leaves to the model (OnDeleteText): the
  // entry loses it only once the model has taken some of the text.
  gint from = *position, to = *position;
  const bool selection = gtk_editable_get_selection_bounds(editable, &from, &to);
  SetEditTextSelection(control, from, to);
  const std::wstring taken = TypeInto(control, typed);
  if (selection && !taken.empty()) {
    t->backend->syncing_ = true;
    gtk_editable_delete_text(editable, from, to);
    t->backend->syncing_ = false;
    *position = from;
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

// The cursor and selection the user sets on screen (arrows, Home and End, clicks, drags)
// reach the model's field in the same order as the keys around them: at once with nothing
// waiting, else behind what waits. The selection keeps its direction: it grows from where
// it began.
void GtkBackend::OnCaretMoved(GObject* object, GParamSpec*, gpointer data) {
  auto* t = static_cast<SignalTarget*>(data);
  if (t->backend->syncing_) return;
  gint anchor = 0, caret = 0;
  g_object_get(object, "selection-bound", &anchor, "cursor-position", &caret, nullptr);
  auto place = [control = ControlRef{t->id}, anchor, caret] {
    if (IsValidControlRef(control)) SetEditTextSelection(control, anchor, caret);
  };
  if (t->backend->input_.empty())
    place();
  else
    t->backend->Input(place);
}

// A caret key behind input still waiting: GTK would move the caret in the text it shows,
// which lacks the typing that waits. The move waits its turn instead and is made then in
// the model's text, from where its caret stands by then; the entry shows it once the model
// has it.
void GtkBackend::OnMoveCursor(GtkEntry* entry, GtkMovementStep step, gint count, gboolean extend, gpointer data) {
  auto* t = static_cast<SignalTarget*>(data);
  if (t->backend->syncing_ || t->backend->input_.empty()) return;
  CaretStep by = CaretStep::kCharacters;
  switch (step) {
    case GTK_MOVEMENT_LOGICAL_POSITIONS: case GTK_MOVEMENT_VISUAL_POSITIONS: break;
    case GTK_MOVEMENT_WORDS: by = CaretStep::kWords; break;
    case GTK_MOVEMENT_DISPLAY_LINE_ENDS: case GTK_MOVEMENT_PARAGRAPH_ENDS: case GTK_MOVEMENT_BUFFER_ENDS:
      by = CaretStep::kEnds;
      break;
    default: return;  // lines and pages: nothing moves in one line
  }
  g_signal_stop_emission_by_name(entry, "move-cursor");
  ControlRef control{t->id};
  t->backend->Input([control, by, count, extend] { MoveEditTextCaret(control, by, count, extend); });
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
  gint from = 0, to = 0;
  const bool selection = gtk_editable_get_selection_bounds(editable, &from, &to) && from == start && to == end;
  if (selection && TypingNow()) {
    // A key typed over the selection: the model's key filter decides whether it replaces
    // the selection (OnInsertText); a key it blocks leaves the text as it was.
    g_signal_stop_emission_by_name(editable, "delete-text");
    return;
  }
  if (!t->backend->input_.empty()) {
    // Behind input still waiting, the deletion waits its turn (the Delete and Backspace
    // keys wait as keys, OnDeleteKey). One that takes away the selection GTK shows (typing
    // or pasting over it, a cut) then takes the model's selection; any other as many
    // characters after the model's caret or before it as GTK took after or before its own.
    const bool forward = start == gtk_editable_get_position(editable);
    g_signal_stop_emission_by_name(editable, "delete-text");
    t->backend->Input([control, count = end - start, selection, forward] {
      int from = 0, to = 0;
      if (GetEditTextSelection(control, &from, &to) != kNoErr) return;
      if (from == to) {
        if (selection) return;
        SetEditTextSelection(control, forward ? to : std::max(0, to - count), forward ? to + count : to);
      }
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

// Backspace, Delete and their kin behind input still waiting: GTK would delete in the text
// it shows, which lacks the typing that waits, and deletes nothing at an end of it. The
// key waits its turn instead and then deletes the model's selection, or from the model's
// caret as far as the key reaches (a character, a word, the text to an end, all of it).
void GtkBackend::OnDeleteKey(GtkEntry* entry, GtkDeleteType type, gint count, gpointer data) {
  auto* t = static_cast<SignalTarget*>(data);
  if (t->backend->syncing_ || t->backend->input_.empty()) return;
  CaretStep by = CaretStep::kCharacters;
  bool whole = false;
  switch (type) {
    case GTK_DELETE_CHARS: break;
    case GTK_DELETE_WORD_ENDS: case GTK_DELETE_WORDS: by = CaretStep::kWords; break;
    case GTK_DELETE_DISPLAY_LINE_ENDS: case GTK_DELETE_PARAGRAPH_ENDS: by = CaretStep::kEnds; break;
    case GTK_DELETE_DISPLAY_LINES: case GTK_DELETE_PARAGRAPHS: whole = true; break;
    default: return;  // white space: GTK's deletion waits as any other does
  }
  g_signal_stop_emission_by_name(entry, "delete-from-cursor");
  ControlRef control{t->id};
  t->backend->Input([control, by, count, whole] {
    int from = 0, to = 0;
    if (GetEditTextSelection(control, &from, &to) != kNoErr) return;
    if (from == to) {
      if (whole)
        SetEditTextSelection(control, 0, static_cast<int>(GetControlTitle(control).size()));
      else
        MoveEditTextCaret(control, by, count, true);
      if (GetEditTextSelection(control, &from, &to) != kNoErr || from == to) return;  // at an end already
    }
    TypeCharacter(control, 127);
  });
}

void GtkBackend::OnBackspace(GtkEntry* entry, gpointer data) {
  auto* t = static_cast<SignalTarget*>(data);
  if (t->backend->syncing_ || t->backend->input_.empty()) return;
  g_signal_stop_emission_by_name(entry, "backspace");
  ControlRef control{t->id};
  t->backend->Input([control] { TypeCharacter(control, 8); });
}

// Copy and cut behind input still waiting: GTK would copy the selection it shows, which
// lacks the typing and caret moves that wait, while a cut's deletion waits and takes the
// model's selection. They wait their turn instead, and take the model's selection then.
void GtkBackend::OnCopy(GtkEntry* entry, gpointer data) {
  auto* t = static_cast<SignalTarget*>(data);
  GSignalInvocationHint* hint = g_signal_get_invocation_hint(entry);
  if (t->backend->input_.empty() || !hint) return;
  g_signal_stop_emission(entry, hint->signal_id, 0);
  const bool cut = hint->signal_id == g_signal_lookup("cut-clipboard", GTK_TYPE_ENTRY);
  GtkClipboard* clipboard = gtk_widget_get_clipboard(GTK_WIDGET(entry), GDK_SELECTION_CLIPBOARD);
  t->backend->Input([control = ControlRef{t->id}, clipboard, cut] {
    int from = 0, to = 0;
    if (GetEditTextSelection(control, &from, &to) != kNoErr || from == to) return;
    const std::wstring text = GetControlTitle(control).substr(std::size_t(from), std::size_t(to - from));
    gtk_clipboard_set_text(clipboard, WideToUtf8(text).c_str(), -1);
    if (cut) TypeCharacter(control, 127);
  });
}

// A paste (Ctrl+V, Shift+Insert, the field's menu) takes its place in the input queue as a
// key does. In its turn it asks the clipboard's owner for the text (what a copy or cut
// before it put there), and holds back the input behind it until the owner answers: another
// program answers only after the keys typed after the paste have arrived. The text is then
// typed where the model's cursor stands. An owner that does not answer in time (a program
// that hangs) holds the input back no longer: the paste then pastes nothing.
void GtkBackend::OnPaste(GtkEntry* entry, gpointer data) {
  auto* t = static_cast<SignalTarget*>(data);
  if (!gtk_editable_get_editable(GTK_EDITABLE(entry))) return;  // GTK refuses it
  g_signal_stop_emission_by_name(entry, "paste-clipboard");
  struct Paste {
    bool asked = false, answered = false;
    std::wstring text;
    gint64 until = 0;
  };
  auto paste = std::make_shared<Paste>();
  GtkClipboard* clipboard = gtk_widget_get_clipboard(GTK_WIDGET(entry), GDK_SELECTION_CLIPBOARD);
  auto ask = [paste, clipboard] {
    if (!paste->asked) {
      constexpr guint kOwnerTimeMs = 5000;
      paste->asked = true;
      paste->until = g_get_monotonic_time() + gint64{kOwnerTimeMs} * 1000;
      // Wakes the wait for input when the time is up.
      g_timeout_add(kOwnerTimeMs + 1, [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr);
      auto answered = [](GtkClipboard*, const gchar* text, gpointer p) {
        const std::unique_ptr<std::shared_ptr<Paste>> paste(static_cast<std::shared_ptr<Paste>*>(p));
        (*paste)->answered = true;
        if (text) (*paste)->text = Utf8ToWide(text);
      };
      gtk_clipboard_request_text(clipboard, answered, new std::shared_ptr<Paste>(paste));
    }
    return paste->answered || g_get_monotonic_time() >= paste->until;
  };
  t->backend->Input([control = ControlRef{t->id}, paste] { if (paste->answered) TypeInto(control, paste->text); },
                    ask);
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
      const WindowRef window = GetControlOwner(control);
      if (GetKeyboardFocus(window) != control) SetKeyboardFocus(window, control);
      PressKey(window, kTabKeyCode);
    });
  }
  return FALSE;  // GTK moves its own focus too
}

// The field the user focused keeps the caret and selection the entry shows: the model's
// focus would select the whole text, where a click puts the caret at the click. GTK
// reports a caret the focus or the click then moves (OnCaretMoved), but not one that
// stays where it stood, so the entry's caret as the focus arrives goes with it.
gboolean GtkBackend::OnEntryFocus(GtkWidget* widget, GdkEvent*, gpointer data) {
  auto* t = static_cast<SignalTarget*>(data);
  if (t->backend->syncing_) return FALSE;
  ControlRef control{t->id};
  gint anchor = 0, caret = 0;
  g_object_get(widget, "selection-bound", &anchor, "cursor-position", &caret, nullptr);
  t->backend->Input([control, anchor, caret] {
    const WindowRef window = GetControlOwner(control);
    if (GetKeyboardFocus(window) == control) return;
    SetKeyboardFocus(window, control);
    SetEditTextSelection(control, anchor, caret);
  });
  return FALSE;
}

}  // namespace toolbox::gtk_backend

// The GTK back end's file chooser (the model's file dialogs) and colour chooser.
#include "toolbox/GtkDisplayBackend.h"

#include <cmath>
#include <string>
#include <vector>

#include "toolbox/Events.h"
#include "toolbox/QuickDraw.h"
#include "toolbox/Utf8.h"

namespace toolbox::gtk_backend {

namespace {

// A file chooser's size: room for the folder list and the places beside it, on any screen.
constexpr int kChooserWidth = 760;
constexpr int kChooserHeight = 520;

}  // namespace

// A file dialog of the model as a GTK file chooser (never the portal chooser, which takes
// no custom filters). Each pop-up item becomes a filter that asks the model item by item.
void GtkBackend::FileDialogShown(NavDialogRef ref) {
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
  gtk_window_set_default_size(GTK_WINDOW(dialog), kChooserWidth, kChooserHeight);
  gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ON_PARENT);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  gtk_file_chooser_set_local_only(chooser, TRUE);
  if (!view.options.startFolder.empty())
    gtk_file_chooser_set_current_folder(chooser, view.options.startFolder.c_str());
  if (view.kind == kNavPutFileDialog) {
    // The model asks before an existing file is replaced (GTK's confirmation stays off): one
    // question, whether the name was typed with its extension or the model adds it.
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
  RealizeFocusForKeys(dialog);
  choosers_[ref.id] = dialog;
  gtk_widget_show(dialog);
  // The chooser takes a size of its own as it shows (one it remembers may fill the screen),
  // and is placed for that size: it is sized first, then centred over its parent again.
  gtk_window_resize(GTK_WINDOW(dialog), kChooserWidth, kChooserHeight);
  int x = 0, y = 0;
  if (CentreOver(parent, kChooserWidth, kChooserHeight, &x, &y)) gtk_window_move(GTK_WINDOW(dialog), x, y);
  gtk_window_present(GTK_WINDOW(dialog));
}

// The colour picker: GTK's colour chooser, a modal dialog in front of the frontmost
// window. The model's loop runs while the user chooses, so that its timers keep firing;
// the answer goes back with 16-bit channels.
bool GtkBackend::PickColor(const std::wstring& prompt, const RGBColor& in, RGBColor* out) {
  Sync();
  GtkWidget* dialog = gtk_color_chooser_dialog_new(WideToUtf8(prompt).c_str(), ParentFor(WindowRef{}));
  GtkColorChooser* chooser = GTK_COLOR_CHOOSER(dialog);
  gtk_color_chooser_set_use_alpha(chooser, FALSE);
  RealizeFocusForKeys(dialog);
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

void GtkBackend::FileDialogClosed(NavDialogRef ref) {
  if (auto it = choosers_.find(ref.id); it != choosers_.end()) {
    gtk_widget_destroy(it->second);
    choosers_.erase(it);
  }
  Sync();
}

// The filter GTK lists with names the pop-up item the user chose; the model hears of the
// choice at once, so that the listing already follows it.
gboolean GtkBackend::OnChooserFilterItem(const GtkFileFilterInfo* info, gpointer data) {
  auto* t = static_cast<SignalTarget*>(data);
  NavDialogRef ref{t->id};
  const NavDialogView view = ViewOfNavDialog(ref);
  if (!view.options.popupExtension.empty() && view.popupIndex != t->index)
    NavDialogSelectPopup(ref, t->index);
  return info->filename && NavDialogShowsItem(ref, info->filename);
}

void GtkBackend::OnChooserFilterChanged(GObject* object, GParamSpec*, gpointer data) {
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

void GtkBackend::OnChooserResponse(GtkDialog* dialog, gint response, gpointer data) {
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
  t->backend->Input([ref, paths] { NavDialogAccept(ref, paths); });
}

}  // namespace toolbox::gtk_backend

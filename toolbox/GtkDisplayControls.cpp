// The GTK back end's controls: a widget for each kind, updated from the model's view, and
// what the user does to it.
#include "toolbox/GtkDisplayBackend.h"

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "toolbox/Controls.h"
#include "toolbox/Windows.h"

namespace toolbox::gtk_backend {

namespace {

// The model's font: the window's own (the system font) unless the control asks for a
// size or the bold face.
void ShowFont(GtkWidget* w, const ControlView& c) {
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
void FitButtonLabel(GtkWidget* button) {
  GtkWidget* label = gtk_bin_get_child(GTK_BIN(button));
  if (label && GTK_IS_LABEL(label)) gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_END);
}

// Static text that the rectangle cannot hold ends in an ellipsis; a rectangle one line
// high holds one line.
void FitLabel(GtkLabel* label, int height) {
  PangoLayout* probe = gtk_widget_create_pango_layout(GTK_WIDGET(label), "Xg");
  int width = 0, line = 0;
  pango_layout_get_pixel_size(probe, &width, &line);
  g_object_unref(probe);
  // A line's box includes the font's leading: a line that lacks a pixel or two of it
  // still fits.
  line = std::max(1, line);
  const int lines = std::max(1, (height + line / 4) / line);
  gtk_label_set_line_wrap(label, lines > 1);
  gtk_label_set_lines(label, lines);
  gtk_label_set_ellipsize(label, PANGO_ELLIPSIZE_END);
}

// Static text wraps between words, and inside a word longer than the line (a path)
// without the hyphen Pango would add there: a file name must never show a hyphen it does
// not have. The attributes that say so, to be unreferenced by the caller.
PangoAttrList* NoHyphens() {
  PangoAttrList* attributes = pango_attr_list_new();
#if PANGO_VERSION_CHECK(1, 44, 0)
  pango_attr_list_insert(attributes, pango_attr_insert_hyphens_new(FALSE));
#endif
  return attributes;
}

GtkWidget* NewStaticText() {
  GtkWidget* w = gtk_label_new("");
  gtk_label_set_xalign(GTK_LABEL(w), 0);
  gtk_label_set_yalign(GTK_LABEL(w), 0);
  gtk_label_set_line_wrap(GTK_LABEL(w), TRUE);
  gtk_label_set_line_wrap_mode(GTK_LABEL(w), PANGO_WRAP_WORD_CHAR);
  PangoAttrList* attributes = NoHyphens();
  gtk_label_set_attributes(GTK_LABEL(w), attributes);
  pango_attr_list_unref(attributes);
  return w;
}

// The lowest static text that scrolls: room for a few lines and a scroll bar's arrows and
// thumb at their smallest (a scroll bar squeezed below that is a GTK error).
constexpr int kLowestScrollingText = 100;

// A static text that its rectangle (of several lines) cannot hold, such as a message with
// a path longer than the screen is high, scrolls there rather than being cut off. Its
// scroll bar always shows (not only under the pointer), so that the user sees there is
// more; the keys scroll it too (OnDialogKey).
GtkWidget* ScrollingText(GtkWidget* label) {
  GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
  gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(scroller), FALSE);
  GtkWidget* viewport = gtk_viewport_new(nullptr, nullptr);
  gtk_viewport_set_shadow_type(GTK_VIEWPORT(viewport), GTK_SHADOW_NONE);
  gtk_container_add(GTK_CONTAINER(viewport), label);
  gtk_container_add(GTK_CONTAINER(scroller), viewport);
  gtk_widget_show_all(viewport);
  return scroller;
}

// A swatch: the button shows a block of the colour instead of its title.
void ShowSwatch(GtkWidget* button, std::uint32_t color) {
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
GdkPixbuf* LoadImage(const char* type, std::string_view bytes) {
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
GdkPixbuf* LoadIconFamily(std::string_view family) {
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
void ShowIcon(GtkWidget* button, const ControlView& c) {
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
void ShowDefault(GtkWidget* button, bool isDefault) {
  GtkStyleContext* style = gtk_widget_get_style_context(button);
  gtk_widget_set_can_default(button, isDefault);
  if (isDefault) {
    gtk_widget_grab_default(button);
    gtk_style_context_add_class(style, GTK_STYLE_CLASS_SUGGESTED_ACTION);
  } else {
    gtk_style_context_remove_class(style, GTK_STYLE_CLASS_SUGGESTED_ACTION);
  }
}

// The rows the model holds selected, selected on screen; a selection the screen did not
// show yet (one the program made) is scrolled into view. Called while syncing_.
void ShowListSelection(GtkTreeView* view, const std::vector<std::uint32_t>& selected) {
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

}  // namespace

// The entry's caret and selection where the model's are (from its anchor to its caret, as
// GTK extends a selection from its bound), unless they stand there already.
void ShowCaret(GtkEntry* entry, const ControlView& c) {
  gint anchor = 0, caret = 0;
  g_object_get(entry, "selection-bound", &anchor, "cursor-position", &caret, nullptr);
  if (anchor != c.anchor || caret != c.caret) gtk_editable_select_region(GTK_EDITABLE(entry), c.anchor, c.caret);
}

void GtkBackend::UpdateControls(WindowMirror& m, const WindowView& view) {
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

GtkWidget* GtkBackend::MakeControl(WindowMirror& m, ControlMirror& mirror, const ControlView& c) {
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
    w = NewStaticText();
    if (c.bounds.Height() >= kLowestScrollingText &&
        TextHeight(c.title, c.bounds.Width(), c.fontSize, c.bold) > c.bounds.Height() + 1) {
      mirror.inner = w;
      w = ScrollingText(w);
    }
  } else if (c.kind == kControlKindEditText) {
    w = gtk_entry_new();
    gtk_entry_set_width_chars(GTK_ENTRY(w), 0);  // as narrow as the model makes it
    Connect(w, "insert-text", G_CALLBACK(OnInsertText), target);
    Connect(w, "delete-text", G_CALLBACK(OnDeleteText), target);
    Connect(w, "notify::cursor-position", G_CALLBACK(OnCaretMoved), target);
    Connect(w, "notify::selection-bound", G_CALLBACK(OnCaretMoved), target);
    Connect(w, "move-cursor", G_CALLBACK(OnMoveCursor), target);
    Connect(w, "delete-from-cursor", G_CALLBACK(OnDeleteKey), target);
    Connect(w, "backspace", G_CALLBACK(OnBackspace), target);
    Connect(w, "copy-clipboard", G_CALLBACK(OnCopy), target);
    Connect(w, "cut-clipboard", G_CALLBACK(OnCopy), target);
    Connect(w, "paste-clipboard", G_CALLBACK(OnPaste), target);
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
void GtkBackend::UpdateControl(WindowMirror& m, ControlMirror& mirror, const ControlView& c) {
  GtkWidget* w = mirror.widget;
  const ControlView& was = mirror.shown;
  const bool fresh = !was.ref;
  GtkWidget* text = c.kind == kControlKindStaticText && mirror.inner ? mirror.inner : w;
  if (fresh || c.fontSize != was.fontSize || c.bold != was.bold) ShowFont(text, c);
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
    gtk_label_set_text(GTK_LABEL(text), c.title.c_str());
    if (text == w &&
        (fresh || c.fontSize != was.fontSize || c.bold != was.bold || c.bounds.Height() != was.bounds.Height()))
      FitLabel(GTK_LABEL(w), c.bounds.Height());
  } else if (c.kind == kControlKindEditText) {
    // Typing and caret moves reach the model as they happen, or in turn behind input that
    // waits: a difference is the program's own change or the model catching up with the
    // user. The entry shows the model's text, and its caret and selection.
    if (c.title != gtk_entry_get_text(GTK_ENTRY(w))) gtk_entry_set_text(GTK_ENTRY(w), c.title.c_str());
    ShowCaret(GTK_ENTRY(w), c);
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

// Laid out as a static text lays its text out: in the panes' font (the size the control
// asks for, else the system font's) and the widgets' font options, wrapped as it wraps.
int GtkBackend::TextHeight(const std::string& utf8, int width, int fontSize, bool bold) {
  GdkScreen* screen = gdk_screen_get_default();
  if (!screen) return -1;
  PangoContext* context = gdk_pango_context_get_for_screen(screen);
  if (const cairo_font_options_t* options = gdk_screen_get_font_options(screen))
    pango_cairo_context_set_font_options(context, options);
  PangoLayout* layout = pango_layout_new(context);
  PangoFontDescription* font = pango_font_description_from_string(kPaneFontFamily);
  const int pixels = fontSize > 0 ? std::clamp<int>(fontSize, kSmallestFont, kLargestFont) : kSystemFontPixels;
  pango_font_description_set_absolute_size(font, pixels * PANGO_SCALE);
  pango_font_description_set_weight(font, bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_layout_set_font_description(layout, font);
  pango_font_description_free(font);
  pango_layout_set_width(layout, std::max(1, width) * PANGO_SCALE);
  pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  PangoAttrList* attributes = NoHyphens();
  pango_layout_set_attributes(layout, attributes);
  pango_attr_list_unref(attributes);
  pango_layout_set_text(layout, utf8.c_str(), -1);
  int w = 0, height = 0;
  pango_layout_get_pixel_size(layout, &w, &height);
  g_object_unref(layout);
  g_object_unref(context);
  return height;
}

// The list is changed in place, so that its scroll position stays where the user left
// it; columns are made again only when they change.
void GtkBackend::UpdateList(ControlMirror& mirror, const ControlView& c) {
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

// A widget that changed by itself shows the model's state again at the next wait.
void GtkBackend::Reshow(std::uint64_t control) {
  for (auto& [id, m] : windows_)
    if (auto it = m->controls.find(control); it != m->controls.end()) it->second.dirty = true;
}

void GtkBackend::OnClick(GtkWidget*, gpointer data) {
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

void GtkBackend::OnBevelMenuItem(GtkWidget*, gpointer data) {
  auto* t = static_cast<SignalTarget*>(data);
  ControlRef control{t->id};
  MenuRef menu{t->menu};
  const std::uint16_t index = t->index;
  t->backend->Input([control, menu, index] { ChooseControlMenuItem(control, menu, index); });
}

void GtkBackend::OnComboChanged(GtkComboBox* combo, gpointer data) {
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

gboolean GtkBackend::OnSliderChange(GtkRange*, GtkScrollType, gdouble value, gpointer data) {
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
gboolean GtkBackend::OnScrollChange(GtkRange*, GtkScrollType scroll, gdouble value, gpointer data) {
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

void GtkBackend::OnSwitchPage(GtkNotebook*, GtkWidget*, guint page, gpointer data) {
  auto* t = static_cast<SignalTarget*>(data);
  if (t->backend->syncing_) return;
  ControlRef control{t->id};
  t->backend->Reshow(t->id);
  t->backend->Input([control, page] { ClickTab(control, static_cast<std::int32_t>(page + 1)); });
}

void GtkBackend::OnListSelection(GtkTreeSelection* selection, gpointer data) {
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

void GtkBackend::OnColumnClicked(GtkTreeViewColumn*, gpointer data) {
  auto* t = static_cast<SignalTarget*>(data);
  if (t->backend->syncing_) return;
  ControlRef control{t->id};
  const auto property = static_cast<DataBrowserPropertyID>(t->menu);
  t->backend->Input([control, property] { SortDataBrowser(control, property); });
}

}  // namespace toolbox::gtk_backend

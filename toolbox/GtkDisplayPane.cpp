// The content pane of the GTK back end's windows, and the style of the controls in it.
#include "toolbox/GtkDisplayBackend.h"

#include <string>

namespace toolbox::gtk_backend {

G_DEFINE_TYPE(ModelPane, model_pane, GTK_TYPE_FIXED)

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
  std::string css = std::string(".brivane-pane { font-family: ") + kPaneFontFamily +
                    "; font-size: " + std::to_string(kSystemFontPixels) + "px; }\n" + kPaneStyle;
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

}  // namespace toolbox::gtk_backend

// The GTK back end's menu bar and menus.
#include "toolbox/GtkDisplayBackend.h"

#include <vector>

namespace toolbox::gtk_backend {

void GtkBackend::BuildMenuBar(WindowMirror& m, WindowRef window, const std::vector<MenuView>& menus) {
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
GtkWidget* GtkBackend::BuildMenu(const std::vector<MenuItemView>& items, MenuRef menu, std::uint64_t id,
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

void GtkBackend::OnMenuItem(GtkWidget*, gpointer data) {
  auto* t = static_cast<SignalTarget*>(data);
  if (t->backend->syncing_) return;
  if (WindowMirror* m = t->backend->Find(t->id)) m->shownMenus.clear();  // show the model's marks again
  MenuRef menu{t->menu};
  std::uint16_t index = t->index;
  t->backend->Input([menu, index] { PostMenuItemChoice(menu, index); });
}

}  // namespace toolbox::gtk_backend

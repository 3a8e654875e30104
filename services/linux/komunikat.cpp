// komunikat: the message box of the Linux programs, which link no GUI toolkit themselves.
// `komunikat STYLE TITLE TEXT` shows a small modal-looking dialog with the title, the icon of the
// style (48: warning, 64: information) and the text, and one OK button, which has the focus.
// Enter, Escape and the close box dismiss it; Ctrl+C copies its title and text, as on Windows.
// Ends with status 0 once dismissed, 1 when no display can be opened, 2 when misused.
#include <gtk/gtk.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "services/window.h"

namespace {

struct Box {
  std::string title;
  std::string text;
  bool dismissed = false;
};

const char* iconFor(std::string_view style) {
  if (style == std::to_string(zelvo::kStyleExclamation)) return "dialog-warning";
  if (style == std::to_string(zelvo::kStyleInformation)) return "dialog-information";
  return nullptr;
}

gboolean copyText(GtkWidget* window, GVariant*, gpointer data) {
  const auto* box = static_cast<const Box*>(data);
  const std::string copied = box->title + "\n\n" + box->text + "\n";
  gdk_clipboard_set_text(gtk_widget_get_clipboard(window), copied.c_str());
  return TRUE;
}

void addShortcut(GtkEventController* controller, guint key, GdkModifierType modifiers,
                 GtkShortcutAction* action) {
  gtk_shortcut_controller_add_shortcut(
      GTK_SHORTCUT_CONTROLLER(controller),
      gtk_shortcut_new(gtk_keyval_trigger_new(key, modifiers), action));
}

GtkWidget* buildWindow(Box& box, const char* icon) {
  GtkWidget* window = gtk_window_new();
  gtk_window_set_title(GTK_WINDOW(window), box.title.c_str());
  gtk_window_set_resizable(GTK_WINDOW(window), FALSE);

  GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 18);
  for (auto margin : {gtk_widget_set_margin_top, gtk_widget_set_margin_bottom,
                      gtk_widget_set_margin_start, gtk_widget_set_margin_end}) {
    margin(column, 18);
  }
  GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
  if (icon) {
    GtkWidget* image = gtk_image_new_from_icon_name(icon);
    gtk_image_set_icon_size(GTK_IMAGE(image), GTK_ICON_SIZE_LARGE);
    gtk_widget_set_valign(image, GTK_ALIGN_START);
    gtk_box_append(GTK_BOX(row), image);
  }
  GtkWidget* label = gtk_label_new(box.text.c_str());
  gtk_label_set_wrap(GTK_LABEL(label), TRUE);
  // Short texts on one line, long ones wrapped at a readable width.
  gtk_label_set_width_chars(GTK_LABEL(label),
                            std::min(static_cast<int>(g_utf8_strlen(box.text.c_str(), -1)), 50));
  gtk_label_set_max_width_chars(GTK_LABEL(label), 60);
  gtk_label_set_xalign(GTK_LABEL(label), 0);
  gtk_box_append(GTK_BOX(row), label);
  gtk_box_append(GTK_BOX(column), row);

  GtkWidget* ok = gtk_button_new_with_label("OK");
  gtk_widget_set_halign(ok, GTK_ALIGN_END);
  gtk_widget_set_size_request(ok, 88, -1);
  g_signal_connect_swapped(ok, "clicked", G_CALLBACK(gtk_window_destroy), window);
  gtk_box_append(GTK_BOX(column), ok);
  gtk_window_set_child(GTK_WINDOW(window), column);
  gtk_window_set_default_widget(GTK_WINDOW(window), ok);
  gtk_window_set_focus(GTK_WINDOW(window), ok);

  GtkEventController* shortcuts = gtk_shortcut_controller_new();
  addShortcut(shortcuts, GDK_KEY_Escape, GdkModifierType(0), gtk_named_action_new("window.close"));
  addShortcut(shortcuts, GDK_KEY_c, GDK_CONTROL_MASK,
              gtk_callback_action_new(copyText, &box, nullptr));
  gtk_widget_add_controller(window, shortcuts);

  g_signal_connect(window, "destroy", G_CALLBACK(+[](GtkWidget*, gpointer data) {
                     static_cast<Box*>(data)->dismissed = true;
                   }),
                   &box);
  return window;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  // The window's class (WM_CLASS, the Wayland app id) by which desktops know the box.
  g_set_prgname("komunikat");
  if (!gtk_init_check()) return 1;
  Box box{argv[2], argv[3]};
  gtk_window_present(GTK_WINDOW(buildWindow(box, iconFor(argv[1]))));
  while (!box.dismissed) g_main_context_iteration(nullptr, TRUE);
  return 0;
}

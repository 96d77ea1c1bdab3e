// GIMP's colour selection dialog; see color_dialog.h.
//
// libgimpui starts GTK on GIMP's display the first time the dialog is needed, not at the
// plug-in's start: most runs never pick a colour, and a run without the window has no display
// to start it on.
#include "tools/gimp/color_dialog.h"

// gimpui.h assumes gimp.h came first.
#include <libgimp/gimp.h>
#include <libgimp/gimpui.h>

#include <gdk/gdkx.h>

namespace {

// The filter's colour dialog has the keyboard when it asks for a colour: the selection is made
// transient for it, so that the window manager keeps the selection above the filter's windows
// (GIMP knows nothing of them to do it with gimp_window_set_transient).
void KeepAboveFocusedWindow(GtkWidget* dialog) {
    gtk_widget_realize(dialog);
    Display* x = GDK_DISPLAY_XDISPLAY(gtk_widget_get_display(dialog));
    Window focus = None;
    int revert = 0;
    XGetInputFocus(x, &focus, &revert);
    if (focus == None || focus == PointerRoot) return;
    XSetTransientForHint(x, GDK_WINDOW_XID(gtk_widget_get_window(dialog)), focus);
}

// The toolkit's own warnings and notes are dropped. During a run the plug-in collects what is
// written to stderr and shows it in GIMP as the filter's message (the module's alerts without
// a window come that way), and a system without the theme engine GIMP's theme names ("pixmap")
// gives dozens of warnings, one for each style of the theme, none of them anything a person
// can act on. Criticals and errors keep GLib's handling.
void DropToolkitNote(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

// GTK ends the process when it cannot open its display; the dialog is offered only to runs that
// show the filter's window, on the display GIMP named.
void StartInterface() {
    static bool started = false;
    if (started) return;
    const auto levels = GLogLevelFlags(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE |
                                       G_LOG_LEVEL_INFO | G_LOG_LEVEL_DEBUG);
    for (const char* domain : {"Gtk", "Gdk", "GdkPixbuf", "GLib", "GLib-GObject", "Pango"})
        g_log_set_handler(domain, levels, DropToolkitNote, nullptr);
    gimp_ui_init("kolmara-gimp", FALSE);
    started = true;
}

}  // namespace

bool ChooseColorInGimp(const std::string& prompt, int rgb[3]) {
    StartInterface();
    const char* title = prompt.empty() ? "Pick a color" : prompt.c_str();
    GtkWidget* dialog =
        gimp_dialog_new(title, "kolmara-gimp-color", nullptr, GtkDialogFlags(0), nullptr, nullptr,
                        "_Cancel", GTK_RESPONSE_CANCEL, "_OK", GTK_RESPONSE_OK, nullptr);
    gtk_dialog_set_alternative_button_order(GTK_DIALOG(dialog), GTK_RESPONSE_OK,
                                            GTK_RESPONSE_CANCEL, -1);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);

    GtkWidget* selection = gimp_color_selection_new();
    gimp_color_selection_set_show_alpha(GIMP_COLOR_SELECTION(selection), FALSE);
    GimpRGB colour;
    gimp_rgb_set_uchar(&colour, guchar(rgb[0]), guchar(rgb[1]), guchar(rgb[2]));
    gimp_rgb_set_alpha(&colour, 1.0);
    gimp_color_selection_set_color(GIMP_COLOR_SELECTION(selection), &colour);
    gimp_color_selection_set_old_color(GIMP_COLOR_SELECTION(selection), &colour);
    gtk_container_set_border_width(GTK_CONTAINER(selection), 12);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), selection, TRUE,
                       TRUE, 0);
    // Not gtk_widget_show_all: the selection hides its alpha scales itself, and showing all
    // its children would bring them back.
    gtk_widget_show(selection);
    KeepAboveFocusedWindow(dialog);
    gtk_widget_show(dialog);

    const bool chosen = gimp_dialog_run(GIMP_DIALOG(dialog)) == GTK_RESPONSE_OK;
    if (chosen) {
        gimp_color_selection_get_color(GIMP_COLOR_SELECTION(selection), &colour);
        guchar r = 0, g = 0, b = 0;
        gimp_rgb_get_uchar(&colour, &r, &g, &b);
        rgb[0] = r;
        rgb[1] = g;
        rgb[2] = b;
    }
    gtk_widget_destroy(dialog);
    // The dialog goes from the screen before the module's window takes over again.
    while (gtk_events_pending()) gtk_main_iteration();
    return chosen;
}

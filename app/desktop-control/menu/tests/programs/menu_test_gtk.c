// A GTK 3 window with a menu bar for the menu reader's tests. Prints "ready <pid>" once the window
// is shown. With "--items N" a further menu "Many" holds N numbered items. With "--report-events"
// the window covers the screen and prints its pointer motion (root coordinates), buttons and keys
// as JSON lines, so that end-to-end scenarios see what reached it.
#include <gtk/gtk.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static GtkAccelGroup* accelerators;

static GtkWidget* item(GtkWidget* menu, const char* label, guint key, GdkModifierType modifiers) {
    GtkWidget* widget = gtk_menu_item_new_with_mnemonic(label);
    if (key != 0) {
        gtk_widget_add_accelerator(widget, "activate", accelerators, key, modifiers,
                                   GTK_ACCEL_VISIBLE);
    }
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), widget);
    return widget;
}

static GtkWidget* submenu(GtkWidget* parent, const char* label) {
    GtkWidget* widget = gtk_menu_item_new_with_mnemonic(label);
    GtkWidget* menu = gtk_menu_new();
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(widget), menu);
    gtk_menu_shell_append(GTK_MENU_SHELL(parent), widget);
    return menu;
}

static void separator(GtkWidget* menu) {
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_separator_menu_item_new());
}

static gboolean announce(gpointer data) {
    (void)data;
    printf("ready %d\n", (int)getpid());
    fflush(stdout);
    return G_SOURCE_REMOVE;
}

// Sees every event of the window before its widgets do, whichever widget the pointer is over.
static void report(GdkEvent* event, gpointer data) {
    (void)data;
    switch (event->type) {
        case GDK_MOTION_NOTIFY:
            printf("{\"event\":\"motion\",\"x\":%.0f,\"y\":%.0f}\n", event->motion.x_root,
                   event->motion.y_root);
            break;
        case GDK_BUTTON_PRESS:
        case GDK_BUTTON_RELEASE:
            printf("{\"event\":\"button\",\"button\":%u,\"down\":%s,\"x\":%.0f,\"y\":%.0f}\n",
                   event->button.button, event->type == GDK_BUTTON_PRESS ? "true" : "false",
                   event->button.x_root, event->button.y_root);
            break;
        case GDK_KEY_PRESS:
        case GDK_KEY_RELEASE:
            printf("{\"event\":\"key\",\"key\":\"%s\",\"down\":%s,\"state\":%u}\n",
                   gdk_keyval_name(event->key.keyval) ? gdk_keyval_name(event->key.keyval) : "",
                   event->type == GDK_KEY_PRESS ? "true" : "false", event->key.state);
            break;
        default:
            break;
    }
    fflush(stdout);
    gtk_main_do_event(event);
}

int main(int argc, char** argv) {
    gtk_init(&argc, &argv);
    int many = 0;
    gboolean reportEvents = FALSE;
    for (int index = 1; index < argc; ++index) {
        if (strcmp(argv[index], "--items") == 0 && index + 1 < argc) {
            many = atoi(argv[index + 1]);
        } else if (strcmp(argv[index], "--report-events") == 0) {
            reportEvents = TRUE;
        }
    }
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "Menu test");
    accelerators = gtk_accel_group_new();
    gtk_window_add_accel_group(GTK_WINDOW(window), accelerators);
    GtkWidget* bar = gtk_menu_bar_new();

    GtkWidget* file = submenu(bar, "_File");
    item(file, "_New", GDK_KEY_n, GDK_CONTROL_MASK);
    item(file, "_Open…", GDK_KEY_o, GDK_CONTROL_MASK);
    separator(file);
    item(file, "_Save", GDK_KEY_s, GDK_CONTROL_MASK);
    item(file, "Save _As…", GDK_KEY_s, GDK_CONTROL_MASK | GDK_SHIFT_MASK);
    GtkWidget* export = submenu(file, "_Export");
    item(export, "PNG", GDK_KEY_e, GDK_CONTROL_MASK | GDK_MOD1_MASK);
    GtkWidget* deep = submenu(export, "Deep");
    GtkWidget* level3 = submenu(deep, "Level 3");
    item(level3, "Deepest read", GDK_KEY_F7, 0);
    GtkWidget* level4 = submenu(level3, "Level 4");
    item(level4, "Too deep", 0, 0);
    item(file, "_Quit", GDK_KEY_q, GDK_CONTROL_MASK);

    GtkWidget* edit = submenu(bar, "_Edit");
    item(edit, "_Undo", GDK_KEY_z, GDK_CONTROL_MASK);
    item(edit, "_Redo", GDK_KEY_z, GDK_CONTROL_MASK | GDK_SHIFT_MASK);
    item(edit, "Undo", 0, 0);
    item(edit, "Delete", GDK_KEY_Delete, 0);
    item(edit, "Zoom In", GDK_KEY_plus, GDK_CONTROL_MASK);
    item(edit, "Next Page", GDK_KEY_Page_Down, 0);
    item(edit, "Settings", GDK_KEY_comma, GDK_CONTROL_MASK | GDK_SUPER_MASK);
    GtkWidget* snap = gtk_check_menu_item_new_with_label("Snap");
    gtk_widget_add_accelerator(snap, "activate", accelerators, GDK_KEY_bracketleft,
                               GDK_CONTROL_MASK, GTK_ACCEL_VISIBLE);
    gtk_menu_shell_append(GTK_MENU_SHELL(edit), snap);

    if (many > 0) {
        GtkWidget* menu = submenu(bar, "Many");
        for (int index = 0; index < many; ++index) {
            char label[32];
            snprintf(label, sizeof label, "Item %d", index);
            item(menu, label, 0, 0);
        }
    }

    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_box_pack_start(GTK_BOX(box), bar, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(window), box);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), NULL);
    if (reportEvents) {
        gtk_widget_add_events(window, GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK |
                                          GDK_BUTTON_RELEASE_MASK | GDK_KEY_PRESS_MASK |
                                          GDK_KEY_RELEASE_MASK);
        gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
        gtk_window_move(GTK_WINDOW(window), 0, 0);
        GdkRectangle area;
        gdk_monitor_get_geometry(gdk_display_get_primary_monitor(gdk_display_get_default()), &area);
        gtk_window_set_default_size(GTK_WINDOW(window), area.width, area.height);
        gdk_event_handler_set(report, NULL, NULL);
    }
    gtk_widget_show_all(window);
    g_idle_add(announce, NULL);
    gtk_main();
    return 0;
}

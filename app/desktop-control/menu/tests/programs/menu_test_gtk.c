// A GTK 3 window with a menu bar for the menu reader's tests. Prints "ready <pid>" once the window
// is shown. With "--items N" a further menu "Many" holds N numbered items.
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

int main(int argc, char** argv) {
    gtk_init(&argc, &argv);
    int many = 0;
    for (int index = 1; index + 1 < argc; ++index) {
        if (strcmp(argv[index], "--items") == 0) {
            many = atoi(argv[index + 1]);
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
    gtk_widget_show_all(window);
    g_idle_add(announce, NULL);
    gtk_main();
    return 0;
}

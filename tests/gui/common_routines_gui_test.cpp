// The result-code display, status colours and the transaction type selector, on
// widgets of their own (the harness has initialised the toolkit).
#include "common_Routines.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <climits>
#include <string>
#include <vector>

namespace {

// An entry outside any window, owned by the test.
struct OwnedWidget {
    explicit OwnedWidget(GtkWidget* w) : widget(w) { g_object_ref_sink(widget); }
    ~OwnedWidget() {
        gtk_widget_destroy(widget);
        g_object_unref(widget);
    }
    GtkWidget* widget;
};

std::string text_colour(GtkWidget* widget) {
    GdkRGBA colour;
    gtk_style_context_get_color(gtk_widget_get_style_context(widget), GTK_STATE_FLAG_NORMAL,
                                &colour);
    gchar* s = gdk_rgba_to_string(&colour);
    std::string out(s);
    g_free(s);
    return out;
}

std::string parsed(const char* name) {
    GdkRGBA colour;
    EXPECT_TRUE(gdk_rgba_parse(&colour, name)) << name;
    gchar* s = gdk_rgba_to_string(&colour);
    std::string out(s);
    g_free(s);
    return out;
}

TEST(DisplayDiagnosisString, ShowsTheTextInItsColour) {
    OwnedWidget entry(gtk_entry_new());
    struct Case {
        short code;
        const char* text;
        const char* colour;
    };
    // Alternating colours, so that a colour that is not replaced shows.
    for (const Case& c : std::vector<Case>{{9, "PED Not Authenticated", "red"},
                                           {0, "OK", "green"},
                                           {21, "Unknown", "red"},
                                           {0, "OK", "green"},
                                           {-1, "Unknown", "red"},
                                           {20, "Event Server Is Down", "red"},
                                           {SHRT_MIN, "Unknown", "red"}}) {
        SCOPED_TRACE(c.code);
        display_diagnosis_string(entry.widget, c.code);
        EXPECT_STREQ(c.text, gtk_entry_get_text(GTK_ENTRY(entry.widget)));
        EXPECT_EQ(parsed(c.colour), text_colour(entry.widget));
    }
    display_diagnosis_string(nullptr, 0);
}

TEST(SetColor, KeepsTheColourAcrossNewTextUntilTheNextCall) {
    OwnedWidget entry(gtk_entry_new());
    setColor(entry.widget, "orange");
    gtk_entry_set_text(GTK_ENTRY(entry.widget), "track 2 not read");
    EXPECT_EQ(parsed("orange"), text_colour(entry.widget));

    setColor(entry.widget, "no such colour");
    EXPECT_EQ(parsed("orange"), text_colour(entry.widget)) << "an unknown name changes nothing";

    setColor(entry.widget, "blue");
    EXPECT_EQ(parsed("blue"), text_colour(entry.widget));
    setColor(nullptr, "red");
    setColor(entry.widget, nullptr);
    EXPECT_EQ(parsed("blue"), text_colour(entry.widget));
}

TEST(GetTransactionType, AnswersTheCodeOfTheActiveRow) {
    OwnedWidget combo(gtk_combo_box_text_new());
    GtkComboBox* box = GTK_COMBO_BOX(combo.widget);
    for (int i = 0; i < 16; ++i)
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo.widget), get_txn_type(i));

    EXPECT_STREQ("00", get_transaction_type(box)) << "no row active";
    struct Case {
        int row;
        const char* code;
    };
    for (const Case& c : std::vector<Case>{{7, "07"}, {15, "15"}, {0, "00"}, {10, "10"}}) {
        SCOPED_TRACE(c.row);
        gtk_combo_box_set_active(box, c.row);
        EXPECT_STREQ(c.code, get_transaction_type(box));
    }
    gtk_combo_box_set_active(box, -1);
    EXPECT_STREQ("00", get_transaction_type(box));

    // A 17th row (not in the table) answers the sale code, not a read past the table.
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo.widget), "extra");
    gtk_combo_box_set_active(box, 16);
    EXPECT_STREQ("00", get_transaction_type(box));
    EXPECT_STREQ("00", get_transaction_type(nullptr));
}

} // namespace

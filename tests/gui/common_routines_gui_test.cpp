// The result-code display and status colours on an entry of its own (the harness
// has initialised the toolkit).
#include "common_Routines.h"
#include "gui_harness.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <climits>
#include <vector>

namespace {

TEST(DisplayDiagnosisString, ShowsTheTextInItsColourUntilTheNextColour) {
    // An entry outside any window, owned by the test.
    GtkWidget* entry = GTK_WIDGET(g_object_ref_sink(gtk_entry_new()));
    struct Case {
        short code;
        const char *text, *colour;
    };
    // Alternating colours, so that a colour that is not replaced shows.
    for (const Case& c : std::vector<Case>{{20, "Event Server Is Down", "#ff0000"},
                                           {0, "OK", "#008000"},
                                           {21, "Unknown", "#ff0000"},
                                           {0, "OK", "#008000"},
                                           {SHRT_MIN, "Unknown", "#ff0000"}}) {
        SCOPED_TRACE(c.code);
        display_diagnosis_string(entry, c.code);
        EXPECT_STREQ(c.text, gtk_entry_get_text(GTK_ENTRY(entry)));
        EXPECT_EQ(c.colour, gui::text_color(entry));
    }
    display_diagnosis_string(nullptr, 0);

    // A colour stays across new text until the next valid one.
    setColor(entry, "orange");
    gtk_entry_set_text(GTK_ENTRY(entry), "track 2 not read");
    setColor(entry, "no such colour");
    setColor(entry, nullptr);
    setColor(nullptr, "red");
    EXPECT_EQ("#ffa500", gui::text_color(entry));
    gtk_widget_destroy(entry);
    g_object_unref(entry);
}

} // namespace

// The main window description against the program's widget list: every handle the program binds
// must exist with the class its code assumes, and the wiring that lives only in the XML (radio
// groups, transaction type rows) must be there.
#include "common_Routines.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <set>
#include <string_view>
#include <vector>

namespace {

struct Handle {
    const char* id;
    std::string_view kind;
};

constexpr Handle kHandles[] = {
#define W(kind, id) {#id, #kind},
#define L(id) {#id, "ListStore"},
#include "widgets.def"
#undef W
#undef L
};

// Exact classes only: a subclass answers the same calls differently (a spin button rewrites its
// text, a toggle button stays pressed, a radio button joins a group).
bool has_class(GObject* o, std::string_view kind) {
    const GType type = G_OBJECT_TYPE(o);
    if (kind == "ComboBox")
        return type == GTK_TYPE_COMBO_BOX || type == GTK_TYPE_COMBO_BOX_TEXT;
    return g_type_name(type) == "Gtk" + std::string(kind);
}

class WidgetsXml : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        builder_ = gtk_builder_new();
        GError* error = nullptr;
        if (!gtk_builder_add_from_file(builder_, KELVRA_SOURCE_UI_DIR "EcrUi.xml", &error)) {
            load_error_ = error->message;
            g_error_free(error);
        }
    }
    static void TearDownTestSuite() {
        if (GObject* window = gtk_builder_get_object(builder_, "MainEcrWindow"))
            gtk_widget_destroy(GTK_WIDGET(window));
        g_clear_object(&builder_);
    }
    void SetUp() override { ASSERT_EQ(load_error_, "") << "EcrUi.xml does not load"; }

    static GObject* object(const char* id) { return gtk_builder_get_object(builder_, id); }
    static GtkWidget* widget(const char* id) {
        GObject* o = object(id);
        return o && GTK_IS_WIDGET(o) ? GTK_WIDGET(o) : nullptr;
    }

    static inline GtkBuilder* builder_ = nullptr;
    static inline std::string load_error_;
};

TEST_F(WidgetsXml, EveryListedIdIsListedOnceHasItsClassAndLivesInTheMainWindow) {
    GtkWidget* window = widget("MainEcrWindow");
    std::set<std::string_view> ids;
    for (const Handle& h : kHandles) {
        EXPECT_TRUE(ids.insert(h.id).second) << h.id << " twice";
        GObject* o = object(h.id);
        if (!o) {
            ADD_FAILURE() << h.id << " is missing (expected a " << h.kind << ")";
            continue;
        }
        EXPECT_TRUE(has_class(o, h.kind))
            << h.id << " is a " << G_OBJECT_TYPE_NAME(o) << ", expected a " << h.kind;
        // A widget outside the window is never shown.
        if (GTK_IS_WIDGET(o) && h.kind != "Window") {
            EXPECT_EQ(gtk_widget_get_toplevel(GTK_WIDGET(o)), window)
                << h.id << " is not inside MainEcrWindow";
        }
    }
}

TEST_F(WidgetsXml, RadioGroupsHoldExactlyTheirThreeButtons) {
    static constexpr struct {
        const char* buttons[3];
        const char* active_at_start;
    } kGroups[] = {
        {{"rad_sign_ok", "rad_sign_nok", "none_btn_sign"}, "none_btn_sign"},
        {{"rbtn_prn_state_ok", "rbtn_prn_state_mp", "rbtn_prn_state_err"}, "rbtn_prn_state_ok"},
    };
    for (const auto& g : kGroups) {
        for (const char* id : g.buttons) {
            SCOPED_TRACE(id);
            GtkWidget* button = widget(id);
            ASSERT_TRUE(button && GTK_IS_RADIO_BUTTON(button));
            GSList* group = gtk_radio_button_get_group(GTK_RADIO_BUTTON(button));
            EXPECT_EQ(g_slist_length(group), 3u);
            for (const char* member : g.buttons)
                EXPECT_TRUE(g_slist_find(group, widget(member))) << member << " not in group";
            EXPECT_EQ(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(button)),
                      std::string_view(id) == g.active_at_start);
        }
    }
    // "No choice" stands for an empty answer: the operator must not be able to pick it.
    EXPECT_FALSE(gtk_widget_get_visible(widget("none_btn_sign")));
    EXPECT_TRUE(gtk_widget_get_no_show_all(widget("none_btn_sign")));
}

TEST_F(WidgetsXml, TransactionTypeRowsFollowTheTypeCodesWithNoneChosen) {
    // Row i sends type code i, so the row's name must be that code's.
    GtkWidget* combo = widget("cmb_txn_type");
    ASSERT_TRUE(combo && GTK_IS_COMBO_BOX_TEXT(combo));
    GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(combo));
    ASSERT_EQ(gtk_tree_model_iter_n_children(model, nullptr), 16);
    GtkTreeIter it;
    int row = 0;
    for (bool ok = gtk_tree_model_get_iter_first(model, &it); ok;
         ok = gtk_tree_model_iter_next(model, &it), ++row) {
        gchar* text = nullptr;
        gtk_tree_model_get(model, &it, 0, &text, -1);
        EXPECT_STREQ(text, get_txn_type(row)) << "row " << row;
        g_free(text);
    }
    EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(combo)), -1);
}

TEST_F(WidgetsXml, ResultLineStaysVisibleOnEveryPage) {
    GtkWidget* result = widget("txt_request_output");
    ASSERT_TRUE(result);
    EXPECT_EQ(gtk_widget_get_ancestor(result, GTK_TYPE_NOTEBOOK), nullptr);
    EXPECT_FALSE(gtk_editable_get_editable(GTK_EDITABLE(result)));
}

} // namespace

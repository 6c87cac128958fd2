// The main window description against the program's widget list: every handle the program binds
// must exist with the class its code assumes, and the wiring that lives only in the XML (list
// stores behind the record selectors, radio groups, transaction type rows) must be there.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

enum class Kind {
    Window,
    Entry,
    TextView,
    Button,
    ComboBox,
    RadioButton,
    CheckButton,
    SpinButton,
    Calendar,
    ListStore
};

struct Handle {
    const char* id;
    Kind kind;
};

constexpr Handle kHandles[] = {
#define W(kind, id) {#id, Kind::kind},
#define L(id) {#id, Kind::ListStore},
#include "widgets.def"
#undef W
#undef L
};

// Exact classes only: a subclass answers the same calls differently (a spin button rewrites its
// text, a toggle button stays pressed, a radio button joins a group).
std::vector<GType> accepted_types(Kind kind) {
    switch (kind) {
    case Kind::Window:
        return {GTK_TYPE_WINDOW};
    case Kind::Entry:
        return {GTK_TYPE_ENTRY};
    case Kind::TextView:
        return {GTK_TYPE_TEXT_VIEW};
    case Kind::Button:
        return {GTK_TYPE_BUTTON};
    case Kind::ComboBox:
        return {GTK_TYPE_COMBO_BOX, GTK_TYPE_COMBO_BOX_TEXT};
    case Kind::RadioButton:
        return {GTK_TYPE_RADIO_BUTTON};
    case Kind::CheckButton:
        return {GTK_TYPE_CHECK_BUTTON};
    case Kind::SpinButton:
        return {GTK_TYPE_SPIN_BUTTON};
    case Kind::Calendar:
        return {GTK_TYPE_CALENDAR};
    case Kind::ListStore:
        return {GTK_TYPE_LIST_STORE};
    }
    return {};
}

std::string type_names(const std::vector<GType>& types) {
    std::string names;
    for (GType t : types)
        names += (names.empty() ? "" : " or ") + std::string(g_type_name(t));
    return names;
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

TEST(WidgetsDef, ListNamesEachLookupOnce) {
    std::set<std::string_view> ids;
    for (const Handle& h : kHandles)
        EXPECT_TRUE(ids.insert(h.id).second) << h.id << " twice";
    EXPECT_EQ(std::size(kHandles), 419u);
}

TEST_F(WidgetsXml, EveryListedIdHasItsClassAndLivesInTheMainWindow) {
    GtkWidget* window = widget("MainEcrWindow");
    for (const Handle& h : kHandles) {
        GObject* o = object(h.id);
        std::vector<GType> types = accepted_types(h.kind);
        if (!o) {
            ADD_FAILURE() << h.id << " is missing (expected " << type_names(types) << ")";
            continue;
        }
        bool exact = false;
        for (GType t : types)
            exact = exact || G_OBJECT_TYPE(o) == t;
        EXPECT_TRUE(exact) << h.id << " is a " << G_OBJECT_TYPE_NAME(o) << ", expected "
                           << type_names(types);
        // A widget outside the window is never shown.
        if (GTK_IS_WIDGET(o) && h.kind != Kind::Window) {
            EXPECT_EQ(gtk_widget_get_toplevel(GTK_WIDGET(o)), window)
                << h.id << " is not inside MainEcrWindow";
        }
    }
}

TEST_F(WidgetsXml, EveryHandleLikeIdInTheXmlIsListed) {
    static constexpr std::string_view kPrefixes[] = {
        "txt_",      "btn_", "cmb_",   "ls_",  "rad_", "rbtn_", "none_btn_",    "chb_",
        "checkbtn_", "sp_",  "spbtn_", "cal_", "tv_",  "buf_",  "MainEcrWindow"};
    std::set<std::string_view> listed;
    for (const Handle& h : kHandles)
        listed.insert(h.id);

    GSList* objects = gtk_builder_get_objects(builder_);
    for (GSList* l = objects; l; l = l->next) {
        if (!GTK_IS_BUILDABLE(l->data))
            continue;
        const char* name = gtk_buildable_get_name(GTK_BUILDABLE(l->data));
        std::string_view id = name ? name : "";
        for (std::string_view p : kPrefixes) {
            if (id.starts_with(p)) {
                EXPECT_TRUE(listed.count(id)) << id << " looks like a handle but is not listed";
            }
        }
    }
    g_slist_free(objects);
}

TEST_F(WidgetsXml, RecordStoresFeedTheirSelectorsAndShowTheRecordNumber) {
    static constexpr struct {
        const char* combo;
        const char* store;
    } kPairs[] = {{"cmb_exr_rec_nbr", "ls_exr_rec"},
                  {"cmb_settlement_record_num", "ls_setm_rec"},
                  {"cmb_mt_cfg_rec_nbr", "ls_mt_rec"},
                  {"cmb_mt_txn_resp_rec_nbr", "ls_mtu_prd"},
                  {"cmb_mtu_set_resp_rec_nbr", "ls_mtu_set_resp_rec"}};
    for (const auto& p : kPairs) {
        SCOPED_TRACE(p.combo);
        GtkWidget* combo = widget(p.combo);
        GObject* store = object(p.store);
        ASSERT_TRUE(combo && GTK_IS_COMBO_BOX(combo) && store && GTK_IS_LIST_STORE(store));
        GtkTreeModel* model = GTK_TREE_MODEL(store);
        EXPECT_EQ(gtk_combo_box_get_model(GTK_COMBO_BOX(combo)), model);
        ASSERT_EQ(gtk_tree_model_get_n_columns(model), 1);
        EXPECT_EQ(gtk_tree_model_get_column_type(model, 0), G_TYPE_STRING);

        // Render one row the way the selector does and read back what its cells would draw.
        GtkTreeIter row;
        gtk_list_store_insert_with_values(GTK_LIST_STORE(store), &row, -1, 0, "7", -1);
        gtk_cell_area_apply_attributes(gtk_cell_layout_get_area(GTK_CELL_LAYOUT(combo)), model,
                                       &row, FALSE, FALSE);
        bool shows_number = false;
        GList* cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(combo));
        for (GList* c = cells; c; c = c->next) {
            if (!GTK_IS_CELL_RENDERER_TEXT(c->data))
                continue;
            gchar* text = nullptr;
            g_object_get(c->data, "text", &text, nullptr);
            shows_number = shows_number || g_strcmp0(text, "7") == 0;
            g_free(text);
        }
        g_list_free(cells);
        gtk_list_store_clear(GTK_LIST_STORE(store));
        EXPECT_TRUE(shows_number) << "no text cell shows column 0";
    }
}

TEST_F(WidgetsXml, RadioGroupsHoldExactlyTheirThreeButtons) {
    static constexpr struct {
        const char* buttons[3];
        const char* active_at_start;
    } kGroups[] = {
        {{"rad_print_txn_receipt_disabled", "rad_print_txn_receipt_enabled",
          "none_btn_init_txn_rcpt"},
         "none_btn_init_txn_rcpt"},
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
            // "No choice" stands for an empty answer: the operator must not be able to pick it.
            if (std::string_view(id).starts_with("none_btn_")) {
                EXPECT_FALSE(gtk_widget_get_visible(button));
                EXPECT_TRUE(gtk_widget_get_no_show_all(button));
            }
        }
    }
}

std::vector<std::string> combo_rows(GtkWidget* combo) {
    std::vector<std::string> rows;
    GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(combo));
    GtkTreeIter it;
    for (bool ok = model && gtk_tree_model_get_iter_first(model, &it); ok;
         ok = gtk_tree_model_iter_next(model, &it)) {
        gchar* text = nullptr;
        gtk_tree_model_get(model, &it, 0, &text, -1);
        rows.emplace_back(text ? text : "");
        g_free(text);
    }
    return rows;
}

TEST_F(WidgetsXml, TransactionTypesFollowTheTypeCodesWithNoneChosen) {
    // Row i sends type code i, so the order is the protocol, not a matter of taste.
    const std::vector<std::string> expected = {"SALE",           "REFUND",
                                               "VOID",           "DUPLICATA",
                                               "CASH ADVANCE",   "PWCB",
                                               "PRE-AUTH",       "COMPLETION",
                                               "VERIFY ACCOUNT", "REVERSAL",
                                               "FORCE",          "MOTO SALE",
                                               "MOTO REFUND",    "PRE-AUTH REVERSAL",
                                               "CANCEL",         "PRE-AUTH INCREMENT"};
    GtkWidget* combo = widget("cmb_txn_type");
    ASSERT_TRUE(combo && GTK_IS_COMBO_BOX_TEXT(combo));
    EXPECT_EQ(combo_rows(combo), expected);
    EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(combo)), -1);
}

TEST_F(WidgetsXml, FixedCombosOfferEveryValueTheRequestCanCarry) {
    static constexpr struct {
        const char* id;
        size_t rows;
    } kCombos[] = {{"cmb_exr_update_mth", 2},     {"cmb_get_settlement_data_record_type", 2},
                   {"cmb_setpw_entry_status", 2}, {"cmb_application_identifier", 5},
                   {"cmb_tfr_inp_pay_mth", 2},    {"cmb_pe_donation_mode", 2},
                   {"cmb_mt_conf_mode", 2}};
    for (const auto& c : kCombos) {
        GtkWidget* combo = widget(c.id);
        ASSERT_TRUE(combo && GTK_IS_COMBO_BOX(combo)) << c.id;
        std::vector<std::string> rows = combo_rows(combo);
        EXPECT_EQ(rows.size(), c.rows) << c.id;
        for (const std::string& r : rows)
            EXPECT_NE(r, "") << c.id << " has an empty row";
    }
}

TEST_F(WidgetsXml, ResultLineStaysVisibleOnEveryPage) {
    GtkWidget* result = widget("txt_request_output");
    ASSERT_TRUE(result);
    EXPECT_EQ(gtk_widget_get_ancestor(result, GTK_TYPE_NOTEBOOK), nullptr);
    EXPECT_FALSE(gtk_editable_get_editable(GTK_EDITABLE(result)));
}

} // namespace

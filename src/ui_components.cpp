#include "ui_components.h"

#include <unordered_map>

#define W(kind, id) GtkWidget* id = nullptr;
#define L(id) GtkListStore* id = nullptr;
#include "widgets.def"
#undef W
#undef L

GtkTextBuffer* buf_host_msg = nullptr;
GtkTextBuffer* buf_print_information = nullptr;
GtkTextBuffer* buf_mt_cfg_custom_text = nullptr;
GtkTextBuffer* buf_print_job = nullptr;

void bind_widgets(GtkBuilder* builder) {
    // Plain casts: a wrong kind in the description must not abort start-up here;
    // the widget test reports it.
#define W(kind, id) id = reinterpret_cast<GtkWidget*>(gtk_builder_get_object(builder, #id));
#define L(id) id = reinterpret_cast<GtkListStore*>(gtk_builder_get_object(builder, #id));
#include "widgets.def"
#undef W
#undef L
}

// Never destroyed: a detached worker may show its answer while the process exits.
GtkWidget** widget_handle(std::string_view id) {
    static const auto* const handles = new std::unordered_map<std::string_view, GtkWidget**>{
#define W(kind, id) {#id, &id},
#define L(id)
#include "widgets.def"
#undef W
#undef L
    };
    const auto found = handles->find(id);
    return found == handles->end() ? nullptr : found->second;
}

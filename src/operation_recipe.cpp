#include "operation_recipe.h"

#include <algorithm>

namespace {

void clear_widget(GtkWidget* widget) {
    if (!widget)
        return;
    if (GTK_IS_ENTRY(widget))
        gtk_entry_set_text(GTK_ENTRY(widget), "");
    else if (GTK_IS_TEXT_VIEW(widget))
        gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(widget)), "", 0);
}

} // namespace

void clear_outputs(const Operation& op, std::span<const std::string_view> kept) {
    for (const FieldOutput& f : op.outputs)
        if (f.widget && std::ranges::find(kept, f.field->name) == kept.end())
            if (GtkWidget** handle = widget_handle(f.widget))
                clear_widget(*handle);
}

void clear_result_line() {
    clear_widget(txt_request_output);
}

void clear_widgets(std::initializer_list<GtkWidget*> widgets) {
    for (GtkWidget* widget : widgets)
        clear_widget(widget);
}

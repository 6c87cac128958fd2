// Receipts on paper and in PDF. One drawing serves the printer and the PDF file:
// GTK's print operation lays the lines out once the paper is known, a roll as one
// page as long as the receipt, A4 as pages of the receipt column centred on the
// sheet. The lines are masked before anything is laid out.
#include "receipt_paper.h"

#include "card_masking.h"
#include "ui_components.h"
#include "window_look.h"

#include <algorithm>
#include <memory>

namespace {

constexpr double kPointsPerMm = 72.0 / 25.4;
constexpr double kRollWidthMm = 80.0;
constexpr double kRollSideMarginMm = 4.0; // a roll printer's unprintable edges
constexpr double kRollEndMarginMm = 5.0;  // paper before the first and after the last line
constexpr double kRollPageMaxMm = 1000.0; // longer receipts go on further pages of this length
constexpr double kSheetMarginMm = 15.0;
constexpr double kColumnWidthMm = kRollWidthMm - 2 * kRollSideMarginMm;
constexpr int kMinColumns = 32; // the narrowest receipt the terminal prints
constexpr double kMaxFontPoints = 10.0;
constexpr const char* kReceiptFamily = "Monospace";
constexpr const char* kPaperChoiceId = "cmb_receipt_paper";

// The paper of the last print or export: the next one proposes it again.
ReceiptPaper last_paper = ReceiptPaper::Roll80;

// How a style draws: its scale across and down, its weight and where it stands.
struct StyleLook {
    double across = 1.0, down = 1.0;
    bool bold = false;
    PangoAlignment align = PANGO_ALIGN_LEFT;
};

StyleLook look_of(PrintJobFont font) {
    switch (font) {
    case BOLD:
        return {1.0, 1.0, true};
    case DOUBLE_HEIGHT:
        return {1.0, 2.0};
    case RIGHT_JUSTIFY:
        return {1.0, 1.0, false, PANGO_ALIGN_RIGHT};
    case CENTER_TEXT:
        return {1.0, 1.0, false, PANGO_ALIGN_CENTER};
    case HALF_SIZE:
        return {0.5, 0.5};
    case DOUBLE_SIZE:
        return {2.0, 2.0};
    case DOUBLE_WIDTH:
        return {2.0, 1.0};
    default:
        return {};
    }
}

PrintJobFont font_of_tag(GtkTextTag* tag) {
    gchar* name = nullptr;
    g_object_get(tag, "name", &name, nullptr);
    static constexpr std::pair<const char*, PrintJobFont> kFonts[] = {
        {"BOLD", BOLD},
        {"DOUBLE_HEIGHT", DOUBLE_HEIGHT},
        {"RIGHT_JUSTIFY", RIGHT_JUSTIFY},
        {"CENTER_TEXT", CENTER_TEXT},
        {"HALF_SIZE", HALF_SIZE},
        {"DOUBLE_SIZE", DOUBLE_SIZE},
        {"DOUBLE_WIDTH", DOUBLE_WIDTH},
    };
    PrintJobFont font = DEFAULT;
    for (const auto& [tag_name, value] : kFonts)
        if (name && g_strcmp0(name, tag_name) == 0)
            font = value;
    g_free(name);
    return font;
}

struct PlacedLine {
    PangoLayout* layout = nullptr;
    StyleLook look;
    int page = 0;
    double y = 0; // from the top of the page's printable area, in points
};

// One print or export: the lines, the paper, and their layout once it begins.
struct ReceiptJob {
    std::vector<ReceiptLine> lines;
    ReceiptPaper paper = ReceiptPaper::Roll80;
    std::vector<PlacedLine> placed;
    std::vector<double> page_heights; // content height of each page, in points
    double column_x = 0;              // left edge of the receipt column

    ~ReceiptJob() {
        for (PlacedLine& p : placed)
            g_clear_object(&p.layout);
    }
};

void set_paper(GtkPageSetup* setup, ReceiptPaper paper, double content_points) {
    if (paper == ReceiptPaper::A4) {
        GtkPaperSize* a4 = gtk_paper_size_new(GTK_PAPER_NAME_A4);
        gtk_page_setup_set_paper_size(setup, a4);
        gtk_paper_size_free(a4);
        for (auto* set : {gtk_page_setup_set_top_margin, gtk_page_setup_set_bottom_margin,
                          gtk_page_setup_set_left_margin, gtk_page_setup_set_right_margin})
            set(setup, kSheetMarginMm, GTK_UNIT_MM);
        return;
    }
    const double length = content_points / kPointsPerMm + 2 * kRollEndMarginMm;
    GtkPaperSize* roll = gtk_paper_size_new_custom("receipt-roll-80", "Receipt roll 80 mm",
                                                   kRollWidthMm, length, GTK_UNIT_MM);
    gtk_page_setup_set_paper_size(setup, roll);
    gtk_paper_size_free(roll);
    gtk_page_setup_set_top_margin(setup, kRollEndMarginMm, GTK_UNIT_MM);
    gtk_page_setup_set_bottom_margin(setup, kRollEndMarginMm, GTK_UNIT_MM);
    gtk_page_setup_set_left_margin(setup, kRollSideMarginMm, GTK_UNIT_MM);
    gtk_page_setup_set_right_margin(setup, kRollSideMarginMm, GTK_UNIT_MM);
}

// Width of one character of the receipt font at 10 points, in points.
double advance_at_ten(GtkPrintContext* context) {
    PangoLayout* layout = gtk_print_context_create_pango_layout(context);
    PangoFontDescription* desc = pango_font_description_from_string(kReceiptFamily);
    pango_font_description_set_size(desc, 10 * PANGO_SCALE);
    pango_layout_set_font_description(layout, desc);
    pango_layout_set_text(layout, "0000000000", -1);
    int width = 0;
    pango_layout_get_size(layout, &width, nullptr);
    pango_font_description_free(desc);
    g_object_unref(layout);
    return width > 0 ? width / 10.0 / PANGO_SCALE : 6.0;
}

// Lays the lines out: the font is chosen so the widest line fits the column (the
// narrowest receipt at most 10 points), then lines go onto pages.
void begin_print(GtkPrintOperation* op, GtkPrintContext* context, gpointer data) {
    auto* job = static_cast<ReceiptJob*>(data);
    const double column = kColumnWidthMm * kPointsPerMm;
    double columns = kMinColumns;
    for (const ReceiptLine& line : job->lines)
        columns =
            std::max(columns, g_utf8_strlen(line.text.c_str(), -1) * look_of(line.font).across);
    const double size =
        std::min(kMaxFontPoints, 10.0 * column / (columns * advance_at_ten(context)));

    // From the receipt's paper, not the context's: the print dialog may have named
    // another, which each page's setup replaces.
    const bool roll = job->paper == ReceiptPaper::Roll80;
    GtkPaperSize* a4 = gtk_paper_size_new(GTK_PAPER_NAME_A4);
    const double sheet_margins = 2 * kSheetMarginMm * kPointsPerMm;
    const double page_height = roll
                                   ? (kRollPageMaxMm - 2 * kRollEndMarginMm) * kPointsPerMm
                                   : gtk_paper_size_get_height(a4, GTK_UNIT_POINTS) - sheet_margins;
    const double sheet_width = gtk_paper_size_get_width(a4, GTK_UNIT_POINTS) - sheet_margins;
    gtk_paper_size_free(a4);
    job->column_x = roll ? 0 : std::max(0.0, (sheet_width - column) / 2);
    job->page_heights.assign(1, 0.0);
    for (const ReceiptLine& line : job->lines) {
        PlacedLine placed;
        placed.look = look_of(line.font);
        placed.layout = gtk_print_context_create_pango_layout(context);
        PangoFontDescription* desc = pango_font_description_from_string(kReceiptFamily);
        pango_font_description_set_size(desc, static_cast<int>(size * PANGO_SCALE));
        if (placed.look.bold)
            pango_font_description_set_weight(desc, PANGO_WEIGHT_BOLD);
        pango_layout_set_font_description(placed.layout, desc);
        pango_font_description_free(desc);
        // The scaled line still fills the column: wrapped and aligned within it.
        pango_layout_set_width(placed.layout,
                               static_cast<int>(column / placed.look.across * PANGO_SCALE));
        pango_layout_set_wrap(placed.layout, PANGO_WRAP_CHAR);
        pango_layout_set_alignment(placed.layout, placed.look.align);
        pango_layout_set_text(placed.layout, line.text.empty() ? " " : line.text.c_str(), -1);
        int height = 0;
        pango_layout_get_size(placed.layout, nullptr, &height);
        const double tall = height * placed.look.down / PANGO_SCALE;
        if (job->page_heights.back() > 0 && job->page_heights.back() + tall > page_height)
            job->page_heights.push_back(0.0);
        placed.page = static_cast<int>(job->page_heights.size()) - 1;
        placed.y = job->page_heights.back();
        job->page_heights.back() += tall;
        job->placed.push_back(placed);
    }
    gtk_print_operation_set_n_pages(op, static_cast<int>(job->page_heights.size()));
}

// Whatever paper the print dialog had, the page is the receipt's paper; a roll's
// page is as long as what it carries.
void request_page_setup(GtkPrintOperation*, GtkPrintContext*, int page, GtkPageSetup* setup,
                        gpointer data) {
    auto* job = static_cast<ReceiptJob*>(data);
    const double content = page < static_cast<int>(job->page_heights.size())
                               ? job->page_heights[static_cast<std::size_t>(page)]
                               : 0.0;
    set_paper(setup, job->paper, content);
}

void draw_page(GtkPrintOperation*, GtkPrintContext* context, int page, gpointer data) {
    auto* job = static_cast<ReceiptJob*>(data);
    cairo_t* cr = gtk_print_context_get_cairo_context(context);
    cairo_set_source_rgb(cr, 0, 0, 0);
    for (const PlacedLine& p : job->placed) {
        if (p.page != page)
            continue;
        cairo_save(cr);
        cairo_translate(cr, job->column_x, p.y);
        cairo_scale(cr, p.look.across, p.look.down);
        pango_cairo_show_layout(cr, p.layout);
        cairo_restore(cr);
    }
}

GtkPrintOperation* new_operation(ReceiptJob& job, const std::string& job_name) {
    GtkPrintOperation* op = gtk_print_operation_new();
    gtk_print_operation_set_job_name(op, job_name.c_str());
    gtk_print_operation_set_unit(op, GTK_UNIT_POINTS);
    GtkPageSetup* setup = gtk_page_setup_new();
    set_paper(setup, job.paper, 0);
    gtk_print_operation_set_default_page_setup(op, setup);
    g_object_unref(setup);
    g_signal_connect(op, "begin-print", G_CALLBACK(begin_print), &job);
    g_signal_connect(op, "request-page-setup", G_CALLBACK(request_page_setup), &job);
    g_signal_connect(op, "draw-page", G_CALLBACK(draw_page), &job);
    return op;
}

std::vector<ReceiptLine> masked(const std::vector<ReceiptLine>& lines) {
    std::vector<ReceiptLine> out;
    out.reserve(lines.size());
    for (const ReceiptLine& line : lines)
        out.push_back({mask_secret(line.text, SecretKind::Text), line.font});
    return out;
}

// "Paper: [Receipt roll 80 mm | A4]", for the print dialog's tab and the file chooser.
GtkWidget* paper_choice(ReceiptPaper paper) {
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    gtk_container_set_border_width(GTK_CONTAINER(box), 6);
    GtkWidget* combo = gtk_combo_box_text_new();
    gtk_buildable_set_name(GTK_BUILDABLE(combo), kPaperChoiceId);
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo), "Receipt roll 80 mm");
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo), "A4");
    gtk_combo_box_set_active(GTK_COMBO_BOX(combo), paper == ReceiptPaper::A4 ? 1 : 0);
    GtkWidget* label = gtk_label_new_with_mnemonic("_Paper:");
    gtk_label_set_mnemonic_widget(GTK_LABEL(label), combo);
    gtk_box_pack_start(GTK_BOX(box), label, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), combo, FALSE, FALSE, 0);
    g_object_set_data(G_OBJECT(box), kPaperChoiceId, combo);
    gtk_widget_show_all(box);
    return box;
}

ReceiptPaper chosen_paper(GtkWidget* choice) {
    auto* combo = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(choice), kPaperChoiceId));
    return combo && gtk_combo_box_get_active(GTK_COMBO_BOX(combo)) == 1 ? ReceiptPaper::A4
                                                                        : ReceiptPaper::Roll80;
}

GObject* create_paper_tab(GtkPrintOperation*, gpointer) {
    return G_OBJECT(paper_choice(last_paper));
}

void apply_paper_tab(GtkPrintOperation*, GtkWidget* choice, gpointer data) {
    static_cast<ReceiptJob*>(data)->paper = last_paper = chosen_paper(choice);
}

// Said over the main window, as the console's other errors are.
void tell(GtkMessageType type, const std::string& text) {
    GtkWidget* dialog =
        gtk_message_dialog_new(MainEcrWindow ? GTK_WINDOW(MainEcrWindow) : nullptr,
                               GTK_DIALOG_MODAL, type, GTK_BUTTONS_OK, "%s", text.c_str());
    fit_dialog_to_screen(dialog);
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
}

bool nothing_to_print(const std::vector<ReceiptLine>& lines) {
    if (!lines.empty())
        return false;
    tell(GTK_MESSAGE_INFO, "There is no receipt to print.");
    return true;
}

struct PdfRequest {
    std::vector<ReceiptLine> lines;
};

void pdf_file_answered(GtkDialog* dialog, int response, gpointer data) {
    g_signal_handlers_disconnect_by_data(dialog, data); // a second answer finds nothing
    std::unique_ptr<PdfRequest> request(static_cast<PdfRequest*>(data));
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gchar* path =
        response == GTK_RESPONSE_ACCEPT ? gtk_file_chooser_get_filename(chooser) : nullptr;
    const ReceiptPaper paper = chosen_paper(gtk_file_chooser_get_extra_widget(chooser));
    gtk_widget_destroy(GTK_WIDGET(dialog));
    if (!path)
        return;
    last_paper = paper;
    std::string error;
    if (!write_receipt_pdf(request->lines, paper, path, &error))
        tell(GTK_MESSAGE_ERROR,
             std::string("The PDF could not be written to ") + path + ": " + error);
    g_free(path);
}

} // namespace

std::vector<ReceiptLine> receipt_lines_of_buffer(GtkTextBuffer* buffer) {
    std::vector<ReceiptLine> lines;
    if (!buffer)
        return lines;
    GtkTextIter at, end;
    gtk_text_buffer_get_bounds(buffer, &at, &end);
    while (!gtk_text_iter_equal(&at, &end)) {
        GtkTextIter line_end = at;
        if (!gtk_text_iter_ends_line(&line_end))
            gtk_text_iter_forward_to_line_end(&line_end);
        ReceiptLine line;
        gchar* text = gtk_text_iter_get_text(&at, &line_end);
        line.text = text ? text : "";
        g_free(text);
        // The style of the last run of the line, as a marker line runs on into it.
        GtkTextIter last = line_end;
        if (!gtk_text_iter_equal(&last, &at))
            gtk_text_iter_backward_char(&last);
        GSList* tags = gtk_text_iter_get_tags(&last);
        for (GSList* t = tags; t; t = t->next)
            line.font = font_of_tag(GTK_TEXT_TAG(t->data));
        g_slist_free(tags);
        lines.push_back(std::move(line));
        at = line_end;
        if (!gtk_text_iter_forward_line(&at))
            break;
    }
    return lines;
}

bool write_receipt_pdf(const std::vector<ReceiptLine>& lines, ReceiptPaper paper,
                       const std::string& path, std::string* error) {
    ReceiptJob job;
    job.lines = masked(lines);
    job.paper = paper;
    GtkPrintOperation* op = new_operation(job, "Receipt");
    gtk_print_operation_set_export_filename(op, path.c_str());
    GError* failure = nullptr;
    const GtkPrintOperationResult result =
        gtk_print_operation_run(op, GTK_PRINT_OPERATION_ACTION_EXPORT,
                                MainEcrWindow ? GTK_WINDOW(MainEcrWindow) : nullptr, &failure);
    const bool written = result != GTK_PRINT_OPERATION_RESULT_ERROR;
    if (!written && error)
        *error = failure ? failure->message : "unknown error";
    g_clear_error(&failure);
    g_object_unref(op);
    return written;
}

void print_receipt(const std::vector<ReceiptLine>& lines, const std::string& job_name) {
    if (nothing_to_print(lines))
        return;
    ReceiptJob job;
    job.lines = masked(lines);
    job.paper = last_paper;
    GtkPrintOperation* op = new_operation(job, job_name);
    gtk_print_operation_set_custom_tab_label(op, "Receipt paper");
    g_signal_connect(op, "create-custom-widget", G_CALLBACK(create_paper_tab), &job);
    g_signal_connect(op, "custom-widget-apply", G_CALLBACK(apply_paper_tab), &job);
    GError* failure = nullptr;
    // Runs the dialog's own loop; the job lives until the printing is handed over.
    const GtkPrintOperationResult result =
        gtk_print_operation_run(op, GTK_PRINT_OPERATION_ACTION_PRINT_DIALOG,
                                MainEcrWindow ? GTK_WINDOW(MainEcrWindow) : nullptr, &failure);
    if (result == GTK_PRINT_OPERATION_RESULT_ERROR)
        tell(GTK_MESSAGE_ERROR, std::string("The receipt could not be printed: ") +
                                    (failure ? failure->message : "unknown error"));
    g_clear_error(&failure);
    g_object_unref(op);
}

void export_receipt_pdf(const std::vector<ReceiptLine>& lines, const std::string& file_name) {
    if (nothing_to_print(lines))
        return;
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        "Export the Receipt as PDF", MainEcrWindow ? GTK_WINDOW(MainEcrWindow) : nullptr,
        GTK_FILE_CHOOSER_ACTION_SAVE, "_Cancel", GTK_RESPONSE_CANCEL, "_Export",
        GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
    const char* home = g_getenv("HOME");
    gtk_file_chooser_set_current_folder(chooser, home && *home ? home : g_get_home_dir());
    gtk_file_chooser_set_current_name(chooser, file_name.c_str());
    gtk_file_chooser_set_extra_widget(chooser, paper_choice(last_paper));
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    fit_dialog_to_screen(dialog);
    // Answered from the main loop, so the window keeps drawing while it is open.
    g_signal_connect(dialog, "response", G_CALLBACK(pdf_file_answered), new PdfRequest{lines});
    gtk_widget_show(dialog);
}

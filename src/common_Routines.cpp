#include "common_Routines.h"

#include "fields.h"
#include "file_notice.h"

#include <sys/stat.h>

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

SettingsSave g_SettingStruct;

// ===========================================================================
// Settings file

namespace {

constexpr const char* kSettingsFileName = "ECRConf";

struct SettingField {
    const char* key;
    char* field;
    std::size_t width;
};

// One row per field in the record's declared order, which is the order of the
// written lines. Keys are distinct and compared exactly, so the reader can walk
// the same table: the order of the comparisons cannot change which field a line
// goes to.
#define SETTING(name)                                                                              \
    { #name, g_SettingStruct.name, sizeof g_SettingStruct.name }
const SettingField kSettingFields[] = {
    SETTING(Amount1Label),      SETTING(Amount2Label),         SETTING(Amount3Label),
    SETTING(Amount4Label),      SETTING(CustomLine1),          SETTING(CashierId),
    SETTING(TableId),           SETTING(TerminalIPAddress),    SETTING(CertificationPath),
    SETTING(LogFileFolderPath), SETTING(MobileTopupCashierId), SETTING(MobileTopupGSMPw),
    SETTING(TFRFormNumber),
};
#undef SETTING

// Stores the value of one "Key:value" line. A line without a colon, a key longer
// than the 30 characters of the key buffer, and an unknown key are ignored.
void apply_setting_line(const char* line) {
    const char* colon = std::strchr(line, ':');
    if (!colon)
        return;
    const std::size_t key_length = static_cast<std::size_t>(colon - line);
    if (key_length >= kSettingsKeySize)
        return; // longer than any key: it cannot match, and it is not cut to look like one
    char key[kSettingsKeySize];
    std::memcpy(key, line, key_length);
    key[key_length] = '\0';

    char value[kSettingsValueSize];
    field_copy_terminated(value, colon + 1);

    for (const SettingField& s : kSettingFields) {
        if (std::strcmp(key, s.key) == 0) {
            field_copy_terminated(s.field, s.width, value);
            return;
        }
    }
}

} // namespace

int read_line_bounded(char* Buffer, std::size_t BufferSize, int* lineLength, FILE* File) {
    if (!Buffer || !File || BufferSize == 0)
        return 0;
    std::size_t stored = 0;
    int consumed = 0;
    int c;
    while ((c = std::fgetc(File)) != EOF) {
        if (consumed < INT_MAX)
            ++consumed;
        if (c == '\n')
            break;
        if (c == '\r')
            continue;
        // A line longer than the buffer is read to its end; the excess is dropped so
        // that the next call starts on the next line.
        if (stored + 1 < BufferSize)
            Buffer[stored++] = static_cast<char>(c);
    }
    Buffer[stored] = '\0';
    if (lineLength)
        *lineLength = static_cast<int>(stored);
    return consumed;
}

int read_line(char* Buffer, int* lineLength, FILE* File) {
    return read_line_bounded(Buffer, kSettingsLineSize, lineLength, File);
}

void ReadSettingFile() {
    FILE* file = std::fopen(kSettingsFileName, "r");
    if (file)
        fchmod(fileno(file), 0600); // it holds a password: a loose mode left by an older copy goes
    if (!file) {
        // Defaults only when there is no file at all; a file without these keys
        // leaves the labels empty.
        field_copy_terminated(g_SettingStruct.Amount1Label, "Amount1");
        field_copy_terminated(g_SettingStruct.Amount2Label, "Amount2");
        field_copy_terminated(g_SettingStruct.Amount3Label, "Amount3");
        field_copy_terminated(g_SettingStruct.Amount4Label, "Amount4");
        return;
    }
    char line[kSettingsLineSize];
    int length = 0;
    while (read_line(line, &length, file) > 0)
        apply_setting_line(line);
    std::fclose(file);
}

void SaveSettingFile() {
    std::string contents;
    for (const SettingField& s : kSettingFields) {
        contents += s.key;
        contents += ':';
        // At most width - 1 characters, the record's own rule, even for a field that
        // was filled without its terminator.
        contents.append(s.field, strnlen(s.field, s.width - 1));
        contents += '\n';
    }
    // The file holds the mobile top-up password, so it is readable by its owner
    // only. It is written to a temporary file in the same folder and renamed over
    // the old one: a close that fails half-way, or a file that cannot be replaced,
    // leaves the previous file whole. The window has said since start-up when the
    // folder cannot take the file (check_settings_folder); a failure here is kept
    // for the notice too.
    GError* error = nullptr;
    g_file_set_contents_full(kSettingsFileName, contents.data(),
                             static_cast<gssize>(contents.size()), G_FILE_SET_CONTENTS_CONSISTENT,
                             0600, &error);
    report_file_write(kSettingsFileName, error ? error->message : "");
    g_clear_error(&error);
}

// ===========================================================================
// Result codes and colours

void display_diagnosis_string(GtkWidget* txt_ReqOutput, short DiagRequestOut) {
    if (!txt_ReqOutput || !GTK_IS_ENTRY(txt_ReqOutput))
        return;
    gtk_entry_set_text(GTK_ENTRY(txt_ReqOutput), result_code_text(DiagRequestOut));
    setColor(txt_ReqOutput, DiagRequestOut == 0 ? "green" : "red");
}

// The per-widget override sits above the theme and is kept across set_text, which
// is the lifetime wanted here; its replacement (a CSS provider per widget) would do
// the same with more code. Deprecation silenced here only.
void setColor(GtkWidget* widget, const char* clr) {
    if (!widget || !clr)
        return;
    GdkRGBA color;
    if (!gdk_rgba_parse(&color, clr))
        return;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    gtk_widget_override_color(widget, GTK_STATE_FLAG_NORMAL, &color);
#pragma GCC diagnostic pop
}

// ===========================================================================
// Transaction type combo box

const char* get_transaction_type(GtkComboBox* combo_box) {
    const int row = combo_box ? gtk_combo_box_get_active(combo_box) : -1;
    if (row < 0 || row >= static_cast<int>(std::size(tabTxnTypeStringNumber)))
        return tabTxnTypeStringNumber[0];
    return tabTxnTypeStringNumber[row];
}

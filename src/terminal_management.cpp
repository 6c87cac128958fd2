// Terminal management: the terminal's date and time, address, certificate,
// passwords, receipt printing, trace settings, status and card queries.
#include "ecr_Routines.h"
#include "ui_components.h"

#include <ctime>

void set_time_from_system() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    if (sp_dt_hour)
        gtk_spin_button_set_value(GTK_SPIN_BUTTON(sp_dt_hour), local.tm_hour);
    if (sp_dt_min)
        gtk_spin_button_set_value(GTK_SPIN_BUTTON(sp_dt_min), local.tm_min);
    if (sp_dt_sec)
        gtk_spin_button_set_value(GTK_SPIN_BUTTON(sp_dt_sec), local.tm_sec);
    if (cal_terminal_date) {
        gtk_calendar_select_month(GTK_CALENDAR(cal_terminal_date), local.tm_mon,
                                  local.tm_year + 1900);
        gtk_calendar_select_day(GTK_CALENDAR(cal_terminal_date), local.tm_mday);
    }
}

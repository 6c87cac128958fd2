// Terminal management: status polling, configuration commands, card and terminal
// queries; and, shared by their files, coded values shown as a text in a colour.
#pragma once

#include <gtk/gtk.h>
#include <pthread.h>

#include <atomic>
#include <cstddef>

// Status: busy flag of the single query, true while polling is to go on, the
// polling interval in seconds (read by the polling thread), thread handles.
extern std::atomic<bool> SingleState;
extern std::atomic<bool> periodicFlag;
extern std::atomic<int> TimeLapse;
extern pthread_t GetStatus;
extern pthread_t Periodic;
// Starts polling, or stops it when it runs (main thread).
void start_periodic_get_state();
// The single query and the polling loop.
void* GS(void* arg);
void* GetState(void* arg);

// Configuration: busy flags of the date-and-time and receipt-print workers; the
// tracing state as the library last confirmed it and the guard against the
// "clicked" of the console's own correction of the check button (both main
// thread only); thread handles.
extern std::atomic<bool> TimerState;
extern std::atomic<bool> TxnReceiptPrint;
extern bool IsTraceTlvEnabled;
extern bool IsTraceTlvFailed;
extern pthread_t Timer;
extern pthread_t SetPAss;
extern pthread_t ITRPS;
void* SetTime(void* arg);
void* SetPassFct(void* arg);
void* UpdateTxnReceiptPrintStatus(void* arg);

// Card and terminal queries: one busy flag, thread handle and worker each.
extern std::atomic<bool> CheckEligState;
extern std::atomic<bool> GetPEDSerialNumState;
extern std::atomic<bool> ReadTracksState;
extern std::atomic<bool> PrintInfoState;
extern std::atomic<bool> AppEnablement;
extern pthread_t CELI;
extern pthread_t GPSN;
extern pthread_t RDT;
extern pthread_t PrintInfo;
extern pthread_t ApplicationEnablementTh;
void* CheckEligibility(void* arg);
void* GetPEDSerialNumber(void* arg);
void* ReadTracks(void* arg);
void* PrintInformation(void* arg);
void* CheckApplicationEnablement(void* arg);

// Presets the terminal date and time selectors with the machine's local time.
void set_time_from_system();

struct CodedText {
    const char* text;
    const char* colour;
};

// The row of `value`; the table's last row answers every value outside the others.
template <std::size_t N> const CodedText& coded_text(const CodedText (&table)[N], int value) {
    return value >= 0 && value < static_cast<int>(N) - 1 ? table[value] : table[N - 1];
}

// Shows a row in an entry, coloured (main thread, or a worker holding the lock).
void show_coded(GtkWidget* entry, const CodedText& row);

// Sets an entry's text; a null entry (missing from the description) is skipped.
void set_entry(GtkWidget* entry, const char* text);

// The print server (a child process that serves the terminal's print jobs on port
// 5187) and the window side of its pipe, beyond the three entries that start-up
// uses (ecr_Routines.h). The pieces are separate so that tests and the benchmark
// can run the same child on a port of their own.
#pragma once

#include "ecr_Routines.h"
#include "terminal_text.h"
#include "receipt_view.h"

#include <glib.h>
#include <pthread.h>
#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <string>

// The listening socket while this process holds it, else -1.
extern std::atomic<int> sockfd;
// The child that serves connections; 0 until it exists.
extern std::atomic<pid_t> pid;
extern pthread_t PPP_Print;      // sets the server up (PrintThread)
extern pthread_t PRJS;           // records the operator's print status (PrintstTh)
extern pthread_t SAVE_PRINT_JOB; // runs the save dialog (SavePrintThread)

// The one-byte file through which the operator's print status reaches the child
// ("PrinterState" in the working directory; tests point it elsewhere before the
// child is forked).
extern const char* g_printer_state_file;

// A connection that sends nothing for this long is answered and closed; as soon as
// another connection waits behind it, it gets a third of a second only, so that a
// silent client cannot hold up the terminal's receipt lines.
inline constexpr int kPrintClientIdleSeconds = 3;
// The receipt text of one line after character conversion (`_LineToPrint`), with
// its line feed and terminator.
inline constexpr std::size_t kReceiptLineSize = kReceiptTextMax + 2;

enum class PrintServerState { NotStarted, Starting, Serving, Failed };
// Who may print: loopback, the terminal's configured address and what
// KELVRA_PRINT_ALLOW adds (print_allow.h); others are closed at once, unread.
// Before the fork (the print server's set-up and tests): reads KELVRA_PRINT_ALLOW
// and maps the memory that the window process shares with the child.
void print_access_setup();
// The terminal's configured address (the IP address setting) may print; may be
// called before or after the child is forked.
void print_server_allow_terminal(const char* address);
// The connections refused so far; *last gets the latest refused address.
unsigned print_server_refused(std::string* last = nullptr);

PrintServerState print_server_state();
// Why the print server does not serve, in words for the cashier (e.g. "Print server
// not started: port 5187 is in use by another program (another console?)"); empty
// unless print_server_state() is Failed. Safe to call from any thread.
std::string print_server_failure();

void* PrintThread(void* arg);

// Creates a listening TCP socket on `port` (0: any free port) of `address`
// (nullptr: every local address) with SO_REUSEADDR and a backlog of 10. Returns
// the socket, or -1 with the step that failed and the reason in *error.
enum class ListenStep { Socket, Bind, Listen };
int print_server_listen(int port, const char* address, ListenStep* failed, std::string* error);

// Window side of the set-up on an already listening socket: the pipe, its watch in
// the default main context, the fork. Returns false when no pipe could be made
// (the socket is then closed). A failed fork ends the program, as it always has.
bool print_server_attach(int listen_fd);

// The child's loop: accepts one connection at a time, answers its job and writes
// the pipe line to pipe_fd. Plain POSIX only: it runs in a child forked from a
// threaded GTK process. Ends when the process `parent` is gone.
[[noreturn]] void print_child_serve(int listen_fd, int pipe_fd, pid_t parent);

// Reads one job from `sock`, answers it, and writes its pipe line into retMsg
// (kPrintBufferSize bytes; left empty when nothing was read). Returns the style.
PrintJobFont processReceivedData(int sock, char* retMsg);

// Writes all `size` bytes of `data` to fd, again after an interruption: the print
// child's pipe lines and the saved receipt text. False when a write fails, with
// errno saying why. Plain POSIX calls only (safe in the child).
bool write_all(int fd, const char* data, std::size_t size);

// The pipe watch (main thread, without the toolkit lock).
gboolean read_from_channel(GIOChannel* gio, GIOCondition condition, gpointer data);

// Turns one pipe line (without its line feed) into the text that displayReceipt
// shows: the receipt text converted to UTF-8, control characters blanked, ending
// in one line feed unless the style is the marker style. out holds out_size bytes
// (at least 3). Returns the style.
PrintJobFont receipt_text_from_pipe_line(const char* line, std::size_t length, char* out,
                                         std::size_t out_size);

void* PrintstTh(void* arg);
// Start-up (main thread): the print status radio buttons show the status that
// PrinterState holds from the last run, the one the child answers with.
void show_saved_printer_state();
void* SavePrintThread(void* arg);
// Writes the text's bytes to filename, owner-only, through a temporary file in the
// same folder that replaces it once complete: a failure leaves the old file whole.
// False when it could not; `error` then says why when the file was opened but not
// written (left empty when it could not even be opened).
bool save_to_file(const char* data, const char* filename, std::string* error = nullptr);

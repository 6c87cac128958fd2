// The steps that every button's operation takes, in one place. An operation's file
// describes its operation once, as an OperationRecipe (its name in the operation
// tables, its worker, thread handle and busy flag, and hooks for what is its own);
// its button handler is press(recipe) and its worker run(recipe).
//
// The handler (main thread, GTK holds the toolkit lock): does nothing while the
// operation's worker runs; else empties what the operation shows (every widget of
// its output table and the result line) and starts the worker.
//
// The worker: holds the busy flag until it ends, on every path; reads the request
// from the window under the toolkit lock; makes the library call without the lock,
// inside the operation's activity and journal scope; then, under the lock, shows the
// result code in the result line and the response through the output table.
#pragma once

#include "activity.h"
#include "common_Routines.h"
#include "gdk_lock.h"
#include "operation_scope.h"
#include "operations.h"
#include "record_display.h"
#include "ui_components.h"
#include "worker.h"

#include <gtk/gtk.h>
#include <pthread.h>

#include <atomic>
#include <span>
#include <string_view>
#include <type_traits>
#include <utility>

// The request of an operation whose call takes none.
struct NoRequest {};

// The result code "PED Not Authenticated".
inline constexpr short kPedNotAuthenticated = 9;

// Empties every widget of the operation's output table but those of the fields
// named in `kept`: an entry gets the empty text, a text view an empty buffer (main
// thread, or the toolkit lock held).
void clear_outputs(const Operation& op, std::span<const std::string_view> kept = {});
// Empties the result line `txt_request_output`.
void clear_result_line();
// Empties each entry (or text view) given; null handles are skipped.
void clear_widgets(std::initializer_list<GtkWidget*> widgets);

// Holds an operation's busy flag for its worker: set from the worker's start, and
// cleared when the worker ends, on every path, or earlier through release().
class BusyFlag {
  public:
    explicit BusyFlag(std::atomic<bool>* flag) : flag_(flag) {
        if (flag_)
            *flag_ = true; // claimed by the handler already; the worker holds it now
    }
    ~BusyFlag() { release(); }
    BusyFlag(const BusyFlag&) = delete;
    BusyFlag& operator=(const BusyFlag&) = delete;
    // Frees the button now; the flag is not touched again, so that a newer worker's
    // claim stays.
    void release() {
        if (flag_)
            *std::exchange(flag_, nullptr) = false;
    }

  private:
    std::atomic<bool>* flag_;
};

// When a worker frees its button. "PED Not Authenticated" (result code 9) frees
// some buttons before their display ends.
enum class Release {
    AtEnd,                 // when the worker ends
    NotAuthenticated,      // code 9: as soon as the call returns
    NotAuthenticatedShown, // code 9: once the result line shows it
};

// How long the operation's activity and journal scope stays open.
enum class Scope {
    Call,      // around the call: the entry ends before the answer is shown
    WhileShown // until the answer is shown: a record selector filled then fetches
               // its first record as part of this operation
};

template <class In, class Out> struct OperationRecipe {
    const char* operation;   // its name in the operation tables
    void* (*worker)(void*);  // started by press()
    pthread_t* thread;       // handle of the latest worker
    std::atomic<bool>* busy; // null: every press starts a worker of its own
    Release release = Release::AtEnd;
    Scope scope = Scope::Call;
    bool show_table = true;   // show the response through the output table
    bool result_last = false; // the result line after the rest of the answer
    // The operation that runs (lock held), when the window chooses it; else
    // `operation`.
    const Operation& (*choose)() = nullptr;
    // Reads what the table does not (lock held), after the table's inputs.
    void (*read)(In& request) = nullptr;
    // Just before the call, without the lock.
    void (*send)(const In& request) = nullptr;
    // Before the result line is shown (lock held).
    void (*clear)() = nullptr;
    // Shows what the table does not (lock held), after the table.
    void (*show)(const Operation& op, const Out& response) = nullptr;
    // After the answer is shown, without the lock.
    void (*keep)(const Out& response) = nullptr;
};

// Makes the call of `op` for `activity`, which records the request (unless
// NoRequest) and the response. Without the toolkit lock: the call blocks.
template <class In, class Out>
void recorded_call(OperationActivity& activity, const Operation& op, const In& request,
                   Out& response, int record_number = 0) {
    if constexpr (std::is_same_v<In, NoRequest>) {
        run_operation(op, nullptr, &response, record_number);
    } else {
        activity.request(request);
        run_operation(op, &request, &response, record_number);
    }
    activity.response(response);
}

// The call of `op` inside an activity and journal scope of its own (any thread).
template <class In, class Out>
void journaled_call(const Operation& op, const In& request, Out& response,
                    Journaling journaling = Journaling::Always) {
    OperationActivity activity(op.name, journaling);
    recorded_call(activity, op, request, response);
}

// The button handler's steps; `prepare()` empties what else the press empties and
// may refuse the start by returning false.
template <class In, class Out, class Prepare>
void press(const OperationRecipe<In, Out>& recipe, Prepare prepare) {
    if (recipe.busy && *recipe.busy)
        return;
    clear_outputs(console_operation(recipe.operation));
    clear_result_line();
    if constexpr (std::is_same_v<decltype(prepare()), bool>) {
        if (!prepare())
            return;
    } else {
        prepare();
    }
    start_worker(recipe.thread, recipe.worker, nullptr, recipe.busy);
}
template <class In, class Out> void press(const OperationRecipe<In, Out>& recipe) {
    press(recipe, [] {});
}

// The worker's steps; returns the worker's result (null).
template <class In, class Out> void* run(const OperationRecipe<In, Out>& r) {
    BusyFlag busy(r.busy);
    In request{};
    Out response{};
    const Operation* op = nullptr;
    {
        GdkLock lock;
        op = r.choose ? &r.choose() : &console_operation(r.operation);
        if constexpr (!std::is_same_v<In, NoRequest>) {
            if (op->prepare)
                op->prepare(&request);
            read_inputs(&request, op->inputs);
        }
        if (r.read)
            r.read(request);
    }
    if (r.send)
        r.send(request);
    const auto show = [&] {
        const bool not_authenticated = response.DiagRequestOut == kPedNotAuthenticated;
        if (not_authenticated && r.release == Release::NotAuthenticated)
            busy.release();
        {
            GdkLock lock;
            if (r.clear)
                r.clear();
            if (!r.result_last)
                display_diagnosis_string(txt_request_output, response.DiagRequestOut);
        }
        if (not_authenticated && r.release == Release::NotAuthenticatedShown)
            busy.release();
        GdkLock lock;
        if (r.show_table)
            show_record(&response, op->outputs);
        if (r.show)
            r.show(*op, response);
        if (r.result_last)
            display_diagnosis_string(txt_request_output, response.DiagRequestOut);
    };
    if (r.scope == Scope::WhileShown) {
        WorkerOperation activity(op->name);
        recorded_call(activity, *op, request, response);
        show();
    } else {
        journaled_call(*op, request, response);
        show();
    }
    if (r.keep)
        r.keep(response);
    return nullptr;
}

// A record selector's "changed" handler (lock held: the main loop, or the worker
// that filled the selector). Fetches the record of the active row (rows count from
// 1) through `operation` and shows it with its result code, after emptying what the
// last record showed; `number` writes the number into a request that carries it.
template <class Out, class In = NoRequest>
void show_selected_record(GtkWidget* selector, const char* operation,
                          void (*number)(In& request, int number) = nullptr) {
    const int row = selector ? gtk_combo_box_get_active(GTK_COMBO_BOX(selector)) : -1;
    if (row < 0)
        return;
    const Operation& op = console_operation(operation);
    clear_outputs(op);
    clear_result_line();
    In request{};
    if (number)
        number(request, row + 1);
    Out record{};
    fetch_selected_record(op.name, [&](OperationActivity& activity) {
        recorded_call(activity, op, request, record, row + 1);
    });
    show_record(&record, op.outputs);
    display_diagnosis_string(txt_request_output, record.DiagRequestOut);
}

// Runs a function on the window's main loop with the toolkit lock held, as a
// handler runs, and waits for its result: how the benchmarks drive the real window
// from their own thread.
#pragma once

#include <gtk/gtk.h>

#include <future>
#include <utility>

template <class Fn> auto on_main_loop(Fn fn) {
    using Result = decltype(fn());
    struct Call {
        Fn fn;
        std::promise<Result> done;
    };
    Call call{std::move(fn), {}};
    auto future = call.done.get_future();
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    gdk_threads_add_idle(
        [](gpointer data) -> gboolean {
            auto* c = static_cast<Call*>(data);
            c->done.set_value(c->fn());
            return G_SOURCE_REMOVE;
        },
        &call);
#pragma GCC diagnostic pop
    return future.get();
}

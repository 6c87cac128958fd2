// The operation a thread runs, for the record selectors. A worker that fills a
// record selector fetches the first record through the selector's "changed"
// handler, on its own thread inside its locked section: that record belongs to the
// worker's operation. A row the operator picks later is fetched on the main loop.
#pragma once

#include "activity.h"

#include <string>
#include <utility>

class WorkerOperation : public OperationActivity {
  public:
    explicit WorkerOperation(std::string name, Journaling journaling = Journaling::Always)
        : OperationActivity(std::move(name), journaling), outer_(current_) {
        current_ = this;
    }
    ~WorkerOperation() { current_ = outer_; }

    // The operation the calling thread runs, or null.
    static OperationActivity* current() { return current_; }

  private:
    inline static thread_local WorkerOperation* current_ = nullptr;
    WorkerOperation* outer_;
};

// A record selector's fetch: `fetch(activity)` makes the call and hands its records
// to the operation the thread runs. A row picked by the operator is a call to the
// terminal like any other, so it becomes a small operation of its own, `name`.
template <class Fetch> void fetch_selected_record(const char* name, Fetch fetch) {
    if (OperationActivity* running = WorkerOperation::current()) {
        fetch(*running);
        return;
    }
    OperationActivity own(name);
    fetch(own);
}

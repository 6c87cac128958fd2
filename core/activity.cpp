#include "activity.h"

#include <glib.h>

#include <atomic>
#include <mutex>
#include <utility>

namespace {

struct Running {
    unsigned long id;
    std::string name;
};

std::mutex activity_mutex;
std::vector<Running> running;
unsigned long next_id = 1;
bool notify_pending = false;
std::atomic<void (*)()> activity_listener{nullptr};
// The operations this thread runs, innermost last.
thread_local std::vector<unsigned long> thread_operations;

gboolean notify_listener(gpointer) {
    {
        std::lock_guard lock(activity_mutex);
        notify_pending = false;
    }
    if (auto listener = activity_listener.load())
        listener();
    return G_SOURCE_REMOVE;
}

// Called with activity_mutex held: one idle call however many changes come first.
void schedule_notify() {
    if (notify_pending || !activity_listener.load())
        return;
    notify_pending = true;
    g_idle_add(notify_listener, nullptr);
}

} // namespace

OperationActivity::OperationActivity(std::string name, Journaling journaling) {
    {
        std::lock_guard lock(activity_mutex);
        id_ = next_id++;
        running.push_back({id_, name});
        schedule_notify();
    }
    journal_detail::begin(id_, name, journaling);
    thread_operations.push_back(id_);
}

OperationActivity::~OperationActivity() {
    std::erase(thread_operations, id_);
    {
        std::lock_guard lock(activity_mutex);
        std::erase_if(running, [this](const Running& r) { return r.id == id_; });
        schedule_notify();
    }
    journal_detail::end(id_);
}

void OperationActivity::add_request(JournalRecord record) {
    journal_detail::add_request(id_, std::move(record));
}

void OperationActivity::add_response(JournalRecord record) {
    journal_detail::add_response(id_, std::move(record));
}

void OperationActivity::result(short code) { journal_detail::set_result(id_, code); }

void record_library_call(JournalCall call) {
    if (thread_operations.empty())
        journal_call(std::move(call));
    else
        journal_detail::add_call(thread_operations.back(), std::move(call));
}

std::vector<std::string> running_operations() {
    std::lock_guard lock(activity_mutex);
    std::vector<std::string> names;
    for (const Running& r : running)
        names.push_back(r.name);
    return names;
}

void set_activity_listener(void (*listener)()) { activity_listener.store(listener); }

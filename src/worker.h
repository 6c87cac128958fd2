// Starts the detached worker thread of one operation. Nobody joins workers; the
// handle only records the latest worker of the operation.
#pragma once

#include <pthread.h>

#include <atomic>

// Starts routine(arg) on a detached thread and stores its handle in *handle.
// Returns false (and leaves *handle unchanged) when no thread could be created.
//
// With a busy flag, the caller (a button handler on the main thread) first claims
// it: when it is already set, another worker of the operation runs or is about to,
// and nothing starts. A second press that arrives before the first worker has run
// is refused that way. Once claimed the flag belongs to the worker, which clears it
// on every path; when no thread can be created it is cleared here.
bool start_worker(pthread_t* handle, void* (*routine)(void*), void* arg = nullptr,
                  std::atomic<bool>* busy = nullptr);

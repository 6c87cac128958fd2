// Starts the detached worker thread of one operation. Nobody joins workers; the
// handle only records the latest worker of the operation.
#pragma once

#include <pthread.h>

// Starts routine(arg) on a detached thread and stores its handle in *handle.
// Returns false (and leaves *handle unchanged) when no thread could be created.
bool start_worker(pthread_t* handle, void* (*routine)(void*), void* arg = nullptr);

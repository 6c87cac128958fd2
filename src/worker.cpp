#include "worker.h"

bool start_worker(pthread_t* handle, void* (*routine)(void*), void* arg) {
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0)
        return false;
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    const bool started = pthread_create(&thread, &attr, routine, arg) == 0;
    pthread_attr_destroy(&attr);
    if (started && handle)
        *handle = thread;
    return started;
}

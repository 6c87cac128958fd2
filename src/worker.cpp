#include "worker.h"

bool start_worker(pthread_t* handle, void* (*routine)(void*), void* arg,
                  std::atomic<bool>* busy) {
    bool idle = false;
    if (busy && !busy->compare_exchange_strong(idle, true))
        return false;
    pthread_attr_t attr;
    bool started = pthread_attr_init(&attr) == 0;
    if (started) {
        pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
        pthread_t thread;
        started = pthread_create(&thread, &attr, routine, arg) == 0;
        pthread_attr_destroy(&attr);
        if (started && handle)
            *handle = thread;
    }
    if (!started && busy)
        *busy = false;
    return started;
}

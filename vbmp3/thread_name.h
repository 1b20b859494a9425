// Names the calling thread, as process listings and debuggers show it.
#pragma once

#ifdef __linux__
#include <pthread.h>
#endif

// name: at most 15 characters.
inline void name_this_thread(const char* name) {
#ifdef __linux__
    pthread_setname_np(pthread_self(), name);
#else
    (void)name;
#endif
}

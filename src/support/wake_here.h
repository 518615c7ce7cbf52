// Where a woken thread runs. The scheduler wakes a sleeping thread on an idle processor when
// there is one, which a virtual machine may take tens of microseconds to bring back; a thread
// woken by one that is about to wait itself starts sooner where the waker runs. WakeHere asks
// for that before the wake-up; the woken thread undoes it with RunAnywhere as it starts.
#pragma once

#include <pthread.h>
#include <sched.h>

namespace quillet {

// The processors `thread` may run on now.
inline cpu_set_t Processors(pthread_t thread) {
    cpu_set_t set;
    CPU_ZERO(&set);
    pthread_getaffinity_np(thread, sizeof set, &set);
    return set;
}

// Lets `thread` run, for now, only on the caller's processor, when `allowed` has it.
inline void WakeHere(pthread_t thread, const cpu_set_t& allowed) {
    const int here = sched_getcpu();
    if (here >= 0 && here < CPU_SETSIZE && CPU_ISSET(here, &allowed)) {
        cpu_set_t only_here;
        CPU_ZERO(&only_here);
        CPU_SET(here, &only_here);
        pthread_setaffinity_np(thread, sizeof only_here, &only_here);
    }
}

// Gives the calling thread back every processor of `allowed`.
inline void RunAnywhere(const cpu_set_t& allowed) {
    pthread_setaffinity_np(pthread_self(), sizeof allowed, &allowed);
}

}  // namespace quillet

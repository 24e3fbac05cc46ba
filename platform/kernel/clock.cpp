/*
 * Time: GetTickCount counts milliseconds on the host's monotonic clock, so
 * that setting the wall clock never makes the program's timeouts jump; like
 * the platform's count it wraps after 49.7 days.  Sleep waits the whole time
 * even when a signal interrupts it; Sleep(0) gives up the rest of the time
 * slice.
 */
#include "layer.h"

#include <errno.h>
#include <sched.h>
#include <time.h>

extern "C" DWORD WINAPI GetTickCount(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (DWORD)((uint64_t)ts.tv_sec * 1000 + (uint64_t)ts.tv_nsec / 1000000);
}

extern "C" void WINAPI Sleep(DWORD ms)
{
    if (ms == 0) {
        sched_yield();
        return;
    }
    struct timespec left = {(time_t)(ms / 1000), (long)(ms % 1000) * 1000000};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

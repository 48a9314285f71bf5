/* Loaded into a renaming process (LD_PRELOAD), it notes the time of the first and of the last rename and
 * prints, when the process ends, the milliseconds before the first rename (from the moment the process's
 * libraries were loaded), from the first rename to the end of the last, and after it, on standard error:
 * "phases BEFORE RENAMING AFTER". Both renameat(2) and renameat2(2) are timed, through the system call. */
#define _GNU_SOURCE
#include <stdio.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

static double start, first, last;

static double now(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

__attribute__((constructor)) static void begin(void) { start = now(); }

static int timed(int from, char const* old, int to, char const* new, unsigned flags)
{
    double const t = now();
    if (first == 0)
        first = t;
    int const result = (int)syscall(SYS_renameat2, from, old, to, new, flags);
    last = now();
    return result;
}

int renameat(int from, char const* old, int to, char const* new) { return timed(from, old, to, new, 0); }

int renameat2(int from, char const* old, int to, char const* new, unsigned flags)
{
    return timed(from, old, to, new, flags);
}

__attribute__((destructor)) static void end(void)
{
    double const t = now();
    if (first != 0)
        fprintf(stderr, "phases %.2f %.2f %.2f\n", first - start, last - first, t - last);
}

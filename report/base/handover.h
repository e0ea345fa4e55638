/*
 * Usage report: what two threads hand each other, counted. A thread that
 * finds the count at nought sleeps on a condition variable, which Wine
 * keeps in the process: an event or a semaphore would be a round trip
 * through Wine's server at every hand-over, and on a loaded machine the
 * server's turn is long in coming.
 */
#ifndef REPORT_HANDOVER_H
#define REPORT_HANDOVER_H

#include <windows.h>

class Handover {
public:
    explicit Handover(long count = 0) : count(count)
    {
        InitializeSRWLock(&lock);
        InitializeConditionVariable(&changed);
    }

    void Give()
    {
        AcquireSRWLockExclusive(&lock);
        count++;
        ReleaseSRWLockExclusive(&lock);
        WakeConditionVariable(&changed);
    }

    /* Waits until there is one to take. */
    void Take()
    {
        AcquireSRWLockExclusive(&lock);
        while (!count)
            SleepConditionVariableSRW(&changed, &lock, INFINITE, 0);
        count--;
        ReleaseSRWLockExclusive(&lock);
    }

private:
    SRWLOCK lock;
    CONDITION_VARIABLE changed;
    long count;
};

#endif

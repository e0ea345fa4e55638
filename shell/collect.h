/*
 * Morvalen for Windows: the copy of the log to the collection folder an
 * administrator set, made by the usage report in a process of its own.
 */
#ifndef MORVALEN_COLLECT_H
#define MORVALEN_COLLECT_H

/* Starts the copy and returns at once; nothing when no folder is set. */
void StartLogCopy();

#endif

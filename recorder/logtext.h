/*
 * Morvalen for Windows: the three pieces of log text. Pure formatting over
 * the session clock and the user name; nothing here touches the file.
 */
#ifndef MORVALEN_LOGTEXT_H
#define MORVALEN_LOGTEXT_H

#include <windows.h>

/* Appends time formatted by the date picture, as far as it fits. */
void AppendDate(char *out, const SYSTEMTIME *time, const char *picture);

/* Each fills out (TextSize bytes) afresh. */
void FormatLogHeader(char *out);
void FormatStartRecord(char *out);
void FormatEndRecord(char *out);

#endif

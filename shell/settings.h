/*
 * Morvalen for Windows: what an administrator sets. The installer writes
 * the values under the user's settings key; Group Policy writes them under
 * the policy key, in HKLM or HKCU, and there they win. Read once at start.
 */
#ifndef MORVALEN_SETTINGS_H
#define MORVALEN_SETTINGS_H

#include <windows.h>
#include "identity.h"

/* The folder every PC copies its log to; empty: nothing is copied. */
extern char CollectFolder[MAX_PATH];
/* A locked or disconnected session ends the line, as a sleep does. */
extern bool EndAtLock;
/* Minutes between the copies made while a line is open; 0: none. */
extern DWORD CopyEveryMinutes;
enum { DefaultCopyEveryMinutes = 60, MostCopyEveryMinutes = 0x7FFFFFFF / 60000 };

void ReadSettings();

#endif

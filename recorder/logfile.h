/*
 * Morvalen for Windows: the log file, its names and the session clock.
 * Every write opens the log, appends (or puts an end record onto its own
 * session's line) and closes it again, so no handle lives between events.
 */
#ifndef MORVALEN_LOGFILE_H
#define MORVALEN_LOGFILE_H

#include <windows.h>
#include "loglayout.h"

/* At most MORVALEN_LOGNAME_BYTES of the command-line tail, or the default
   of up to 31 bytes. */
extern char LogName[32];
/* LogName + ".txt", used as it stands: a bare name lives in the current
   directory, a name with a directory puts the log there. */
extern char LogPath[32 + sizeof LOG_EXTENSION - 1];
extern SYSTEMTIME StartTime;
extern SYSTEMTIME EndTime;

void SetLogName(HINSTANCE instance, const char *tail);
void StampStartTime();
void StampEndTime();

void RecordSessionStart();
void RecordSessionEnd();
void RewriteLogFile();

/* Sleep ends this session's line as a session end does; waking starts a
   new line as a log-on does. Each writes nothing out of turn: RecordWake
   says whether it started a line. */
void RecordSleep();
bool RecordWake();

void MakeArchiveName(char *out);
void ArchiveLogFile();

#endif

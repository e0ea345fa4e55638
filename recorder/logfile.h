/*
 * Morvalen for Windows: the log file, its names and the session clock.
 * Every write opens the log, appends (or puts an end record onto its own
 * session's line) and closes it again, so no handle lives between events.
 */
#ifndef MORVALEN_LOGFILE_H
#define MORVALEN_LOGFILE_H

#include <windows.h>

/* At most 16 bytes of the command-line tail, or the 31-byte default limit. */
extern char LogName[32];
/* LogName + ".txt", used as it stands: a bare name lives in the current
   directory, a name with a directory puts the log there. */
extern char LogPath[32 + 4];
extern SYSTEMTIME StartTime;
extern SYSTEMTIME EndTime;

enum { LogOpenCreated = 0, LogOpenExisted = 1, LogOpenFailed = 2 };

void SetLogName(HINSTANCE instance, const char *tail);
void StampStartTime();
void StampEndTime();

int OpenLogFile();
void AppendLogText(const char *text);
void TruncateLogFile();
void CloseLogFile();

void RecordSessionStart();
void RecordSessionEnd();
/* False if the log could not be opened; report: show that in a box. */
bool WriteSessionEnd(bool report);
void RewriteLogFile();

/* Sleep ends this session's line as a session end does; waking starts a
   new line as a log-on does. Each writes nothing out of turn. */
void RecordSleep();
void RecordWake();

void MakeArchiveName(char *out);
void ArchiveLogFile();

#endif

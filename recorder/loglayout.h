/*
 * Morvalen for Windows: the log's layout, the one description that the
 * recorder writes by and the report reads by. Both resource scripts take
 * the header's texts from here too.
 *
 * A log is a header, then one line per session, each begun with CR LF
 * and none after the last. A line, in bytes of CP932 counted from 0:
 *    0-16  user name, padded with blanks to 17    (start record)
 *   17-28  start date yy/MM/dd(ddd)               (start record)
 *   29-34  blank and start time HH:mm             (start record)
 *   35-39  five blanks, 40-51 end date, 52-57 blank and end time,
 *   58-62  five blanks, 63-67 usage hh:mm         (end record)
 * A longer name is written whole and shifts the rest. The weekday is one
 * double-byte character in the Japanese locale, which is what the column
 * line is laid out for: its titles start at bytes 0, 17, 40 and 63.
 */
#ifndef MORVALEN_LOGLAYOUT_H
#define MORVALEN_LOGLAYOUT_H

#include "identity.h"

/* The header: the title line, an empty line and the column line, whose
   ideographic spaces (U+3000, two bytes each) line the titles up. UTF-8
   here; the program writes them in the ANSI code page. */
#define LOG_TITLE_START     "// " MORVALEN_PRODUCT " "
#define LOG_TITLE_END       " //"
#define LOG_TITLE           LOG_TITLE_START "ログファイル" LOG_TITLE_END
#define LOG_USER_TITLE      "ユーザー名"
#define LOG_COLUMNS         LOG_USER_TITLE "　　　 起動時刻　　　　　　　 終了時刻　　　　　　　 使用時間"

/* A start record: the user field, then the start stamp. */
#define LOG_USER_FIELD      17
#define LOG_USER_PICTURE    "%-17s"
#define LOG_DATE_PICTURE    "yy'/'MM'/'dd'('ddd')'"
#define LOG_TIME_PICTURE    "' 'HH':'mm"

/* An end record: a gap, the end stamp, a gap and the usage. */
#define LOG_GAP             "     "
#define LOG_END_DATE_PICTURE "'" LOG_GAP "'" LOG_DATE_PICTURE
#define LOG_USAGE_PICTURE   LOG_GAP "%02u:%02u"

/* The log is its name and this; an archive is its name, the mark and the
   session's start date. */
#define LOG_EXTENSION       ".txt"
#define LOG_ARCHIVE_MARK    "_"
#define LOG_ARCHIVE_DATE_PICTURE "yy'-'MM'-'dd"

#ifndef RC_INVOKED
/* A log held by another program (a second recorder writing, a backup
   tool or the report reading) is waited for about a second. */
enum { LogShareRetries = 20, LogShareRetryMs = 50 };
#endif

#endif

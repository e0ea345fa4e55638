/*
 * Usage report: resource ids shared by the code and report.rc. The
 * strings start at 256, apart from the recorder's, so both string tables
 * can be linked into one test program.
 */
#ifndef REPORT_RESOURCE_H
#define REPORT_RESOURCE_H

/* The box caption, the open dialog and the options */
#define IDS_TITLE           256
#define IDS_OPENFILTER      257
#define IDS_USAGE           258
#define IDS_BADOPTION       259
#define IDS_NOLOG           260
#define IDS_NOTALOG         261
#define IDS_CANNOTWRITE     262
#define IDS_ISINPUT         263
#define IDS_OUTOFMEMORY     264

/* The CSV files; the weekdays and marks are shared with the page */
#define IDS_DAYSHEADER      272
#define IDS_SESSIONSHEADER  273
#define IDS_WEEKDAYS        274
#define IDS_FROMBEFORE      275
#define IDS_RUNSON          276
#define IDS_RUNNING         277
#define IDS_CRASHED         278
#define IDS_CLOCKBACK       279

/* The page */
#define IDS_PERIOD          288
#define IDS_MADE            289
#define IDS_SOURCES         290
#define IDS_LINES           291
#define IDS_UTF8            292
#define IDS_BADLINES        293
#define IDS_FIRSTSHOWN      294
#define IDS_LINEAT          295
#define IDS_TOTALS          296
#define IDS_TOTAL           297
#define IDS_DAYSUSED        298
#define IDS_AVERAGE         299
#define IDS_COLUMNS         300
#define IDS_YEAR            301
#define IDS_MONTH           302
#define IDS_DAYUNIT         303
#define IDS_NOSESSIONS      304
#define IDS_LEGEND          305
#define IDS_USER            306

/* Sessions at the same time, the overview and the month pages */
#define IDS_OVERLAP         310
#define IDS_OVERLAPPED      311
#define IDS_LEGENDOVERLAP   312
#define IDS_SPLIT           313
#define IDS_MONTHS          314
#define IDS_OVERVIEW        315
#define IDS_NOTOURS         316

/* The comparison with the declared hours: its CSV, the flags (in the
   order of GapFlag), the timesheet columns (in the order of their roles)
   and the page */
#define IDS_GAPSHEADER      340
#define IDS_GAPEARLY        341
#define IDS_GAPLATE         342
#define IDS_GAPUNDECLARED   343
#define IDS_GAPNOPC         344
#define IDS_GAPNOSTART      345
#define IDS_GAPNOEND        346
#define IDS_COLPCUSER       347
#define IDS_COLCODE         348
#define IDS_COLDATE         349
#define IDS_COLSTART        350
#define IDS_COLEND          351
#define IDS_NOTTIMESHEET    352
#define IDS_GAPS            353
#define IDS_THRESHOLD       354
#define IDS_MINUTEUNIT      355
#define IDS_GAPLEGEND       356
#define IDS_MAPPING         357
#define IDS_UNMATCHED       358
#define IDS_GAPUSERCOLUMNS  359
#define IDS_FLAGGEDDAYS     360
#define IDS_NOFLAGGED       361
#define IDS_DECLARED        362
#define IDS_FLAGGEDCUT      363

/* Timesheets as exports and hand-kept sheets have them: the rest of the
   column lists (the order of the roles is timesheet.cpp's), the punches'
   kinds and the total rows' marks, and what the page says of how a file
   was read or why it was skipped */
#define IDS_COLNAME         400
#define IDS_COLFAMILY       401
#define IDS_COLWORKDAY      402
#define IDS_COLTIME         403
#define IDS_COLMOMENT       404
#define IDS_COLKIND         405
#define IDS_PUNCHIN         406
#define IDS_PUNCHOUT        407
#define IDS_TOTALWORDS      408
#define IDS_ROLENAMES       409
#define IDS_LACKNAMES       410
#define IDS_NOHEADER        411
#define IDS_LACKCOLUMNS     412
#define IDS_HEADERAT        413
#define IDS_ENCODINGS       414
#define IDS_SEPARATORS      415

/* The copy to the collection folder, and the files of a collection */
#define IDS_NEWEST          370
#define IDS_STALE           371
#define IDS_STALENOTE       372

/* A copy's time: its last open line, the list of files */
#define IDS_COPIED          540
#define IDS_COPIEDNOTE      541
#define IDS_COPYTIME        542
#define IDS_UNTRUSTEDCOPY   543
#define IDS_UNTRUSTEDCOPYNOTE 544
#define IDS_NOTCOPIED       373
#define IDS_NOTALLCOPIED    374

/* Lines whose stamps the log shows to be wrong, or whose usage field
   was changed: their marks, the overview's lists and the legend */
#define IDS_CLOCKFAULT      430
#define IDS_MISMATCH        431
#define IDS_CLOCKFAULTNOTE  432
#define IDS_MISMATCHNOTE    433
#define IDS_UNTRUSTEDCUT    434
#define IDS_LEGENDUNTRUSTED 435

/* The reasons for the gaps: the columns they are read from, the register,
   and what the page and a box say of them */
#define IDS_COLREASON       500
#define IDS_COLVERDICT      501
#define IDS_REASONSHEADER   502
#define IDS_REASONFILES     503
#define IDS_REASONCOUNT     504
#define IDS_TAKENBACK       505
#define IDS_NOREASONHEADER  506
#define IDS_REASONBADROWS   507
#define IDS_REASONSOUTSIDE  508
#define IDS_REASONSUNREADABLE 509
#define IDS_UNEXPLAINED     510
#define IDS_REASONWORD      511

/* The departments: who belongs where, the overview's section, the
   month pages' index and the gaps file of each */
#define IDS_NODEPARTMENT    600
#define IDS_DEPARTMENT      601
#define IDS_COLDEPARTMENT   602
#define IDS_DEPARTMENTS     603
#define IDS_PEOPLE          604
#define IDS_DEPARTMENTGAPS  605
#define IDS_DEPARTMENTPAGES 606
#define IDS_USERINDEX       607
/* What reached the collection folder: a copy kept because the next one
   did not continue it, and the records changed after they were copied */
#define IDS_REWRITTEN       560
#define IDS_REWRITTENNOTE   561
#define IDS_DELETED         562
#define IDS_REACHED         563
#define IDS_KEPTCOPY        564
#define IDS_LEGENDREWRITTEN 565

#define IDI_REPORT          1

#endif

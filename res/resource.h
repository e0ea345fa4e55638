/*
 * Morvalen for Windows: resource ids shared by the code and res/morvalen.rc.
 * Each prefix has its own range: strings 1-15, icons, dialogs and cursors
 * 128-143, dialog controls 1001-1099.
 */
#ifndef MORVALEN_RESOURCE_H
#define MORVALEN_RESOURCE_H

/* String table (ids 0, 5, 13, 14 and 15 are unused) */
#define IDS_APPTITLE        1
#define IDS_LOGTITLE        2
#define IDS_LOGCOLUMNS      3
#define IDS_DEFAULTLOGNAME  4
#define IDS_ARCHIVEASK1     6
#define IDS_ARCHIVEASK2     7
#define IDS_CANNOTOPEN      8
#define IDS_ARCHIVEFAILED   9
#define IDS_QUITASK         10
#define IDS_NOUSER          11
#define IDS_ALREADYRUNNING  12

/* Icon, dialog and cursor */
#define IDI_APP             128
#define IDD_COMMANDS        129
#define IDC_LINKCURSOR      133

/* Controls of the command dialog */
#define IDC_SHOWLOG         1001
#define IDC_INITLOG         1002
#define IDC_QUIT            1003
#define IDC_LINK            1006

#endif

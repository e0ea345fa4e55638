/*
 * Morvalen for Windows: the texts of the string table and the two error
 * reports. Every word the program shows or writes is loaded here by id.
 */
#ifndef MORVALEN_MESSAGES_H
#define MORVALEN_MESSAGES_H

#include <windows.h>
#include "../res/resource.h"

/* Working texts are assembled in buffers of this many bytes. */
const int TextSize = 512;

/* Defined and set by the hidden window once it exists: the module that
   texts, the dialog and the cursor come from, and the owner of every
   message box. */
extern HINSTANCE AppInstance;
extern HWND MainWindow;

void LoadText(UINT id, char *out, int size);
void AppendText(char *out, int size, const char *piece);

void ComposeSystemErrorText(char *out, const char *suffix);
/* The system's sentence for code, then what the program was doing. */
void ReportLogOpenFailure(const char *path, DWORD code);
void ReportArchiveFailure(DWORD code);

#endif

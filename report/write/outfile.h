/*
 * Usage report: one output file, written through a buffer into a
 * temporary file beside its final name and renamed over the old file only
 * when every output is complete, so no half-written file is ever left.
 */
#ifndef REPORT_OUTFILE_H
#define REPORT_OUTFILE_H

#include "text.h"

class OutFile {
public:
    OutFile();
    ~OutFile();

    /* A new temporary file in folder, written out bufferSize bytes at a
       time; false with error set. */
    bool Create(const WText &folder, size_t bufferSize = 256 * 1024);
    void Put(const char *bytes, size_t length);
    void Put(const Text &text) { Put(text.data(), text.size()); }
    /* Writes what is buffered and closes; false if any write failed. */
    bool Close();
    bool Replace(const WText &target);
    void Discard();
    const WText &Temp() const { return temp; }

    DWORD error;

private:
    void Flush();
    friend void OutOfMemory();

    HANDLE file;
    WText temp;
    Text buffer;
    size_t bufferSize;
    /* Every output under way, so that a run ended early removes them. */
    static OutFile *First;
    OutFile *next;
};

/* True if target is absent or may be replaced now; a file held open by
   another program, a spreadsheet most often, is found before any output
   is renamed. */
bool CanReplace(const WText &target, DWORD *error);

/* A folder of the report's own beside the outputs, made new, and removed
   with what is in it: when the run is over, or ends early. */
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    bool Make(const WText &folder);

    WText path;

private:
    friend void OutOfMemory();
    static TempFolder *First;
    TempFolder *next;
};

#endif

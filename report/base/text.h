/*
 * Usage report: strings, conversions between the log's code pages and
 * UTF-16, zero-padded numbers, and the string table.
 *
 * The C++ library's own std::string is compiled with exceptions and would
 * bring their whole machinery into the exe; a string over a plain
 * allocator is compiled here instead, without them.
 */
#ifndef REPORT_TEXT_H
#define REPORT_TEXT_H

#include <windows.h>
#include <cstdlib>
#include <string>

/* Exit codes, for scripts. */
enum Outcome {
    AllRead = 0,        /* written, and every line and file read */
    SomeUnreadable = 1, /* written, but some lines or files could not be read */
    NothingWritten = 2  /* a bad option, no log found, an output not written */
};

/* Ends the run as one that wrote nothing: no box under /S (the C
   runtime's abort may show one), the temporary outputs removed. */
[[noreturn]] void OutOfMemory();
extern bool QuietOnFailure;

template <class T> struct PlainAllocator {
    typedef T value_type;
    PlainAllocator() {}
    template <class U> PlainAllocator(const PlainAllocator<U> &) {}
    T *allocate(size_t n)
    {
        void *p = malloc(n * sizeof(T));
        if (!p)
            OutOfMemory();
        return (T *)p;
    }
    void deallocate(T *p, size_t) { free(p); }
    bool operator==(const PlainAllocator &) const { return true; }
    bool operator!=(const PlainAllocator &) const { return false; }
};

/* Bytes: CP932 as in the logs and the CSV files, or UTF-8 for the page. */
typedef std::basic_string<char, std::char_traits<char>, PlainAllocator<char>> Text;
/* File paths and texts on their way between code pages. */
typedef std::basic_string<wchar_t, std::char_traits<wchar_t>, PlainAllocator<wchar_t>> WText;

const UINT LogCodePage = 932;

WText Widen(const char *bytes, size_t length, UINT codePage);
Text Narrow(const WText &text, UINT codePage);

/* value in decimal, with leading zeros up to digits; PutNumber writes it
   at at (at most 10 bytes) and returns the end. */
char *PutNumber(char *at, unsigned value, int digits);
void AppendNumber(Text &out, unsigned value, int digits = 1);
/* minutes as h:mm, hours not capped. */
void AppendDuration(Text &out, int minutes);

/* A text of the string table, whole. */
WText LoadWide(UINT id);
Text LoadBytes(UINT id, UINT codePage);

/* The system's sentence for an error code, without its line break. */
WText SystemReason(DWORD code);

/* A function of a DLL the report does not import, loaded when it is
   called: loaded at start, user32, shell32 and the rest took as long
   under Wine as reading half the logs of a large report. */
template <class Function> Function Load(const char *dll, const char *name)
{
    HMODULE module = LoadLibraryA(dll);
    return module ? (Function)(void *)GetProcAddress(module, name) : NULL;
}

#endif

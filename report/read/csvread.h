/*
 * Usage report: CSV files as attendance systems export them and as Excel
 * and LibreOffice Calc save them back: the encoding found, the fields
 * split and decoded, and header texts compared the way offices write
 * them. The timesheets and the reasons for the gaps are read through it.
 */
#ifndef REPORT_CSVREAD_H
#define REPORT_CSVREAD_H

#include "text.h"

#include <vector>

/* The encodings a CSV file is read in. */
enum SheetEncoding { SheetCp932, SheetUtf8, SheetUtf16 };

/* Daily exports with every item chosen have well over a hundred columns. */
const int MostFields = 256;
/* The rows searched for a header. */
const int HeaderRows = 20;

/* Bytes in, records out: fields split at the separator outside quotes
   (at a comma or a tab while separator is 0), "" a quote inside them, a
   record ended by a line break outside them. A field is kept only by
   its first longestField bytes. */
class CsvReader {
public:
    explicit CsvReader(size_t longestField);
    virtual ~CsvReader() {}
    /* False once Record has set stop. */
    bool Feed(const char *bytes, size_t length);
    void End();

    UINT codePage;      /* of the bytes fed: the file's, or UTF-8 for UTF-16 */

protected:
    /* A record in wide[0..count), trimmed, ="..." guards taken off, with
       the byte that ended each field in ends; blank when every field is
       empty. Its first line is recordLine. */
    virtual void Record(int count, bool blank) = 0;
    /* Calls column(i, n) for each field i that is whole when the record
       is split at by, n its column there. */
    template <class Each> void Columns(int count, char by, Each column) const
    {
        for (int i = 0, n = 0; i < count; n += ends[i++] == by)
            if (!(i && ends[i - 1] != by) && !(i + 1 < count && ends[i] != by))
                column(i, n);
    }

    WText wide[MostFields];
    char ends[MostFields];
    int line, recordLine, records;
    char separator;
    bool stop;
    /* Once the header is found, the columns read: the others are left
       empty, not decoded. All while wanted is empty. */
    std::vector<char> wanted;

private:
    size_t Add(const char *bytes, size_t at, size_t length);
    void EndField(char by);
    void EndRecord();

    Text fields[MostFields];
    int count;
    Text field;
    size_t longest;
    bool quoted, quoteSeen;
};

/* Reads the file at path into reader, from UTF-8 when it has a BOM or its
   first piece is valid UTF-8, from UTF-16 with a BOM (Excel's Unicode
   text), else from CP932; 0, or the system's reason it could not be read. */
DWORD ReadCsvFile(const WText &path, CsvReader &reader, SheetEncoding *encoding);

/* Blanks: a space, a tab, the ideographic space. */
bool IsBlank(wchar_t c);
WText Trim(const WText &text);
/* Full-width ASCII as ASCII and the ideographic space as a blank; most
   cells are ASCII and are returned as they are. */
const WText &Folded(const WText &text, WText &folded);
/* Whether text is one of names, split at '|', whatever its case. */
bool Listed(const WText &names, const wchar_t *text, size_t length);
/* A header text as compared: folded, without blanks and without the
   marks templates put around it (*, ※, bullets, quotes, a trailing
   period). */
WText HeaderKey(const WText &header);

#endif

/*
 * Test support shared by every test program: CP932 text, whole-file bytes,
 * bounded waits, and finding and answering real message boxes.
 */
#ifndef MORVALEN_TEST_SUPPORT_H
#define MORVALEN_TEST_SUPPORT_H

#include <windows.h>
#include <functional>
#include <string>
#include <vector>

/* The ANSI bytes the program writes, from readable UTF-8 in the test. */
std::string Sjis(const char *utf8);
/* The other way, for readable failure messages. */
std::string Utf8(const std::string &sjis);

/* Two-byte weekday abbreviation of the Japanese locale (0 = Sunday). */
std::string Weekday(int dayOfWeek);
SYSTEMTIME At(int year, int month, int day, int hour, int minute, int second = 0);

std::string ReadBytes(const std::string &path);
void WriteBytes(const std::string &path, const std::string &bytes);
bool FileExists(const std::string &path);

/* A new empty folder under the temporary folder, made the current one. */
std::string EnterFreshFolder(const char *name);

/* Polls every 20 ms; true as soon as done() is, false after timeoutMs. */
bool WaitFor(const std::function<bool()> &done, DWORD timeoutMs);

/* Wine takes the logged-on user's name from WINEUSERNAME; unset, the
   name cannot be obtained at all. */
void SetUserName(const char *name);

/* The top-level windows, or every window inside parent, in z-order. */
std::vector<HWND> Windows(HWND parent = NULL);

struct BoxInfo {
    HWND window;
    HWND owner;
    std::string caption;
    std::string text;
    std::vector<int> buttons;   /* ids of the buttons shown, in id order */
};

/* The first visible message box (#32770) of process pid other than
   except, or window null. */
BoxInfo FindBox(DWORD pid, DWORD timeoutMs, HWND except = NULL);
/* Clicks the box's button with the given id and waits for the box to go. */
bool PressButton(HWND window, int id);

/* Runs action on a second thread of this process, waits for the message
   box it shows, reads it, answers it with button, and joins the thread. */
BoxInfo AnswerBoxOf(const std::function<void()> &action, int button);

/* build/<preset>: the folder above the tests' own. */
std::string BuildFolder();

/* The screen's pixels in rect (screen coordinates), row by row. */
std::vector<COLORREF> GrabScreen(const RECT &rect);
/* The whole screen as build/<preset>/screenshots/<name>.bmp, to look at. */
void SaveScreenshot(const std::string &name);

#endif

/*
 * Test support shared by every test program: CP932 text, whole-file bytes,
 * bounded waits, real message boxes and the screen.
 */
#ifndef MORVALEN_TEST_SUPPORT_H
#define MORVALEN_TEST_SUPPORT_H

#include <windows.h>
#include <gtest/gtest.h>
#include <functional>
#include <string>
#include <vector>

/* The ANSI bytes the program writes, from readable UTF-8 in the test, and
   back for failure messages. */
std::string Sjis(const char *utf8);
std::string Utf8(const std::string &sjis);
/* CP932 bytes as readable text: line breaks and other control bytes
   escaped, the whole quoted. */
std::string Escaped(const std::string &sjis);

/* Two-byte weekday abbreviation of the Japanese locale (0 = Sunday). */
std::string Weekday(int dayOfWeek);
SYSTEMTIME At(int year, int month, int day, int hour, int minute, int second = 0);

std::string ReadBytes(const std::string &path);
void WriteBytes(const std::string &path, const std::string &bytes);
bool FileExists(const std::string &path);

/* The names in a folder, sorted, each followed by a blank. */
std::string Listing(const std::string &folder);
/* Removes a folder and everything in it, given its full path. */
void RemoveTree(const std::string &folder);
/* A new empty folder under the temporary folder, made the current one. */
std::string EnterFreshFolder(const char *name);
/* build/<preset>: the folder above the tests' own. */
std::string BuildFolder();

/* Polls every 20 ms; true as soon as done() is, false after timeoutMs. */
bool WaitFor(const std::function<bool()> &done, DWORD timeoutMs);
/* How long a box would take to appear, had the program shown one. */
const DWORD kBoxWaitMs = 500;

/* Wine takes the logged-on user's name from WINEUSERNAME; unset, the
   name cannot be obtained at all. Only this process sees the change. */
void SetUserName(const char *name);

/* The top-level windows, or every window inside parent, in z-order. */
std::vector<HWND> Windows(HWND parent = NULL);

struct BoxInfo {
    HWND window;
    HWND owner;
    std::string caption;
    std::string text;           /* a message box's text, from control 0xFFFF */
    std::vector<int> buttons;   /* ids of the buttons shown, in id order */
};

/* The first visible dialog-class window (a message box, a dialog, a
   wizard) of process pid, or of any process if pid is 0, whose caption
   starts with caption, other than except; window null if none came. */
BoxInfo FindBox(DWORD pid, DWORD timeoutMs, HWND except = NULL, const std::string &caption = "");
/* Clicks the button with the given id and waits for the window to go. */
bool PressButton(HWND window, int id);
/* Success if no box of pid (but except) came within kBoxWaitMs; else its
   caption and text. */
testing::AssertionResult NoBoxAppears(DWORD pid, HWND except = NULL);

/* The screen's pixels in rect (screen coordinates), row by row. */
std::vector<COLORREF> GrabScreen(const RECT &rect);
/* The whole screen as build/<preset>/screenshots/<name>.png, to look at. */
void SaveScreenshot(const std::string &name);

#endif

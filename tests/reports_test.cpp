/*
 * The composed error text: system sentence plus our own, reflowed at 60
 * characters, with percent signs from a log name handled safely.
 */
#include <gtest/gtest.h>

#include "support.h"
#include "../messages/messages.h"
#include "../recorder/logfile.h"

static std::string Compose(DWORD code, const std::string &suffix)
{
    char out[TextSize];
    SetLastError(code);
    ComposeSystemErrorText(out, suffix.c_str());
    return out;
}

static std::string OpenFailureText(const char *tail)
{
    SetLogName(GetModuleHandleA(NULL), tail);
    BoxInfo box = AnswerBoxOf([] { SetLastError(ERROR_SHARING_VIOLATION); ReportLogOpenFailure(); },
                              IDOK);
    EXPECT_TRUE(box.window) << tail;
    EXPECT_EQ(box.caption, "Morvalen for Windows");
    return box.text;
}

/* The reflow's width counts characters, a Japanese one as one. */
static int Characters(const std::string &sjis)
{
    return MultiByteToWideChar(932, 0, sjis.data(), (int)sjis.size(), NULL, 0);
}

TEST(Reports, ReflowBreaksAtBlanksWithinSixtyCharacters)
{
    std::string words;
    for (int i = 0; i < 12; i++)
        words += " word" + std::to_string(i) + " is short";
    std::string text = Compose(ERROR_SHARING_VIOLATION, words);

    std::string joined, line;
    size_t lines = 0;
    for (size_t at = 0; at <= text.size(); at++) {
        if (at == text.size() || text.compare(at, 2, "\r\n") == 0) {
            EXPECT_LE(Characters(line), 60) << "line " << lines << ": " << Utf8(line);
            joined += (joined.empty() || line.empty() ? "" : " ") + line;
            line.clear();
            lines++;
            at++;
        } else {
            line += text[at];
        }
    }
    EXPECT_GE(lines, 3u);
    /* The system sentence's own line break became a blank. */
    std::string trimmed = joined;
    while (trimmed.find("  ") != std::string::npos)
        trimmed.erase(trimmed.find("  "), 1);
    EXPECT_EQ(trimmed, Sjis("共有違反です。") + words);
}

TEST(Reports, PercentSignsInTheLogNameAreShownSafely)
{
    std::string cannot = Sjis("を開くことができません。 作業は中断されました。");
    std::string sharing = Sjis("共有違反です。");
    struct { const char *tail; std::string text; } rows[] = {
        {"100%%", sharing + " 100%.txt" + cannot},
        /* an insert would have no argument: shown as composed, unflowed */
        {"log%1", sharing + "\r\nlog%1.txt" + cannot},
        {"log%99x", sharing + "\r\nlog%99x.txt" + cannot},
        {"%%1", sharing + " %1.txt" + cannot},
        /* "%." is the formatter's own escape for a period */
        {"end%", sharing + " end.txt" + cannot},
    };
    for (auto &row : rows)
        EXPECT_EQ(OpenFailureText(row.tail), row.text) << row.tail;
}

TEST(Reports, SystemTextWithAnInsertIsShownAsItStands)
{
    std::string text = Compose(ERROR_BAD_EXE_FORMAT, " tail");
    EXPECT_NE(text.find("%1"), std::string::npos) << Utf8(text);
    EXPECT_EQ(text.substr(text.size() - 5), " tail");
}

TEST(Reports, LongCompositionIsCutInsideTheBufferBetweenCharacters)
{
    struct { char out[TextSize]; char guard[64]; } area;
    std::string suffixes[] = {std::string(700, 'x'), "x" + std::string(), ""};
    std::string wide;
    for (int i = 0; i < 400; i++)
        wide += Sjis("あ");
    suffixes[1] += wide;    /* odd start: a cut at 511 would split a character */
    suffixes[2] = wide;
    for (auto &suffix : suffixes) {
        memset(area.guard, 0x5A, sizeof area.guard);
        SetLastError(ERROR_FILE_EXISTS);
        ComposeSystemErrorText(area.out, suffix.c_str());
        std::string text = area.out;
        EXPECT_LE(text.size(), 511u);
        EXPECT_GE(text.size(), 500u);
        EXPECT_EQ(std::string(area.guard, sizeof area.guard), std::string(sizeof area.guard, 0x5A));
        for (size_t at = 0; at < text.size(); at++)
            if (IsDBCSLeadByte((BYTE)text[at]))
                ASSERT_LT(++at, text.size()) << "a lone lead byte ends the text";
    }
}

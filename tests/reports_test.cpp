/*
 * The composed error text where the running program cannot take it: a
 * sentence long enough to be reflowed at 60 characters, a system text that
 * asks for an insert, and compositions longer than the buffer.
 */
#include <gtest/gtest.h>

#include "support.h"
#include "../messages/messages.h"

static std::string Compose(DWORD code, const std::string &suffix)
{
    char out[TextSize];
    SetLastError(code);
    ComposeSystemErrorText(out, suffix.c_str());
    return out;
}

TEST(Reports, ReflowBreaksAtBlanksWithinSixtyCharacters)
{
    std::string words;
    for (int i = 0; i < 12; i++)
        words += " word" + std::to_string(i) + " is short";
    std::string text = Compose(ERROR_SHARING_VIOLATION, words) + "\r\n", joined;
    size_t lines = 0;
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2, lines++) {
        std::string line = text.substr(at, end - at);
        /* the width counts characters, a Japanese one as one */
        EXPECT_LE(MultiByteToWideChar(932, 0, line.data(), (int)line.size(), NULL, 0), 60) << Utf8(line);
        joined += (joined.empty() ? "" : " ") + line;
    }
    EXPECT_GE(lines, 3u);
    /* The system sentence's own line break became a blank. */
    while (joined.find("  ") != std::string::npos)
        joined.erase(joined.find("  "), 1);
    EXPECT_EQ(joined, Sjis("共有違反です。") + words);
}

TEST(Reports, SystemTextWithAnInsertIsShownAsItStands)
{
    std::string text = Compose(ERROR_BAD_EXE_FORMAT, " tail");
    EXPECT_EQ(text.substr(0, 2), "%1") << Utf8(text);
    EXPECT_EQ(text.substr(text.size() - 5), " tail");
}

TEST(Reports, LongCompositionIsCutInsideTheBufferBetweenCharacters)
{
    struct { char out[TextSize]; char guard[64]; } area;
    std::string wide;
    for (int i = 0; i < 400; i++)
        wide += Sjis("あ");
    /* an odd start puts a character across byte 511 */
    for (const std::string &suffix : {std::string(700, 'x'), "x" + wide, wide}) {
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

// Token routines and the fixed-size text helpers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/text.h"

namespace {

// Walks a double-NUL list the way every caller does.
std::vector<std::string> Items(char* list) {
    std::vector<std::string> out;
    for (char* item = list[0] ? list : nullptr; item; item = NextToken(item, 0)) out.push_back(item);
    return out;
}

TEST(NextToken, SplitsAtTheFirstSeparatorOnly) {
    char text[] = "x,y,z";
    char* rest = NextToken(text, ',');
    ASSERT_NE(nullptr, rest);
    EXPECT_STREQ("x", text);
    EXPECT_STREQ("y,z", rest);

    char none[] = "xyz";
    EXPECT_EQ(nullptr, NextToken(none, ','));
    EXPECT_STREQ("xyz", none);

    char trailing[] = "x,";
    rest = NextToken(trailing, ',');
    ASSERT_NE(nullptr, rest);
    EXPECT_STREQ("", rest);

    char empty[] = "";
    EXPECT_EQ(nullptr, NextToken(empty, ','));
    EXPECT_EQ(nullptr, NextToken(nullptr, ','));
}

TEST(NextToken, WalksADoubleNulListAndStopsAtTheFirstEmptyItem) {
    char list[] = "alpha\0b\0cd\0\0";
    EXPECT_EQ((std::vector<std::string>{"alpha", "b", "cd"}), Items(list));

    char hidden[] = "a\0\0b\0\0";  // an empty item ends the list: b is never reached
    EXPECT_EQ((std::vector<std::string>{"a"}), Items(hidden));

    char empty[] = "\0";
    EXPECT_EQ(nullptr, NextToken(empty, 0));
}

TEST(NextTokenQuoted, DoesNotSplitInsideQuotes) {
    char text[] = "\"a,b\",c,d";
    char* rest = NextTokenQuoted(text, ',');
    ASSERT_NE(nullptr, rest);
    EXPECT_STREQ("\"a,b\"", text);  // the quotes stay
    EXPECT_STREQ("c,d", rest);

    char unbalanced[] = "\"a,b";
    EXPECT_EQ(nullptr, NextTokenQuoted(unbalanced, ','));
    EXPECT_STREQ("\"a,b", unbalanced);

    char list[] = "p\0q\0\0";
    EXPECT_STREQ("q", NextTokenQuoted(list, 0));
}

TEST(TrimChar, RemovesLeadingAndTrailingRunsOnly) {
    char text[] = "  a b  ";
    EXPECT_STREQ("a b", TrimChar(text, ' '));
    char quoted[] = "\"\"Vestral \"X\"\"";
    EXPECT_STREQ("Vestral \"X", TrimChar(quoted, '"'));
    char only[] = "\"\"\"";
    EXPECT_STREQ("", TrimChar(only, '"'));
    EXPECT_EQ(nullptr, TrimChar(nullptr, ' '));
}

TEST(TextHelpers, CopyAndAppendCutAtTheLimit) {
    char dst[TEXT_SIZE + 8];
    std::memset(dst, 'Z', sizeof dst);
    std::string longText(400, 'a');
    CopyText(dst, longText.c_str());
    EXPECT_EQ(static_cast<size_t>(TEXT_SIZE - 1), std::strlen(dst));
    EXPECT_EQ('Z', dst[TEXT_SIZE]);  // nothing written past the text

    CopyText(dst, nullptr);
    EXPECT_STREQ("", dst);

    // A text held as long as it is takes the same cut as the array.
    std::string held = "earlier";
    CopyText(held, longText.c_str());
    EXPECT_EQ(std::string(TEXT_SIZE - 1, 'a'), held);
    CopyText(held, std::string(TEXT_SIZE - 1, 'c').c_str());
    EXPECT_EQ(static_cast<size_t>(TEXT_SIZE - 1), held.size());
    CopyText(held, nullptr);
    EXPECT_EQ("", held);

    CopyText(dst, std::string(250, 'b').c_str());
    AppendText(dst, "0123456789abc");
    EXPECT_EQ(static_cast<size_t>(TEXT_SIZE - 1), std::strlen(dst));
    EXPECT_EQ('Z', dst[TEXT_SIZE]);
    EXPECT_EQ('8', dst[TEXT_SIZE - 2]);

    EXPECT_TRUE(TextEqual("Files", "FILES"));
    EXPECT_TRUE(TextLess("abc", "ABD"));
    EXPECT_FALSE(TextLess("b", "A"));
    EXPECT_TRUE(TextEmpty(nullptr));
    EXPECT_TRUE(TextEmpty(""));
}

// Keys of sets and maps across the tool fold every letter and nothing else: the neighbours of the letters
// in ASCII and the bytes of code page 932 stay as they are.
TEST(TextKey, FoldsEveryLetterAndNothingElse) {
    EXPECT_EQ("abcdefghijklmnopqrstuvwxyz", TextKey("ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
    EXPECT_EQ("abcdefghijklmnopqrstuvwxyz", TextKey("abcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ("@[`{ 09\\_~", TextKey("@[`{ 09\\_~"));
    EXPECT_EQ("\x83\x76\x83\x8a\x83\x93\x83\x5e", TextKey("\x83\x76\x83\x8a\x83\x93\x83\x5e"));  // プリンタ
    EXPECT_EQ("", TextKey(nullptr));
    // Appended to a key of several parts: only the new part is folded.
    std::string key = "File\n";
    AppendTextKey(key, "C:\\VX.DLL");
    AppendTextKey(key, nullptr);
    EXPECT_EQ("File\nc:\\vx.dll", key);
}

}  // namespace

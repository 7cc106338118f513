// The drill on input no scenario file should hold: huge lines, broken UTF-8, odd codes.
#include "drill.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "utf8.h"

namespace drill {
namespace {

struct DrillRun {
    std::ostringstream out;
    Drill drill{out};

    // Runs the lines and returns what they printed.
    std::string operator()(const std::string& lines) {
        out.str("");
        std::istringstream in(lines);
        drill.run(in);
        return out.str();
    }
    const practice::PracticeState& state() const { return drill.state(); }
};

size_t countOf(const std::string& haystack, const std::string& needle) {
    size_t count = 0;
    for (size_t pos = haystack.find(needle); pos != std::string::npos;
         pos = haystack.find(needle, pos + needle.size())) {
        ++count;
    }
    return count;
}

const std::string kDigitsOnly = "warning 输入错误|不能输入其它字符，只能输入数字！\n";

TEST(Utf8, ValidatesStrictly) {
    for (const char* ok :
         {"", "abc", "\xc3\xa9", "\xe4\xb8\xad", "\xf0\x9f\x98\x80", "\xf4\x8f\xbf\xbf"}) {
        EXPECT_TRUE(isValidUtf8(ok)) << ok;
    }
    for (const char* bad : {"\x80", "\xbf", "\xc0\x80", "\xc1\xbf", "\xe0\x80\x80", "\xed\xa0\x80",
                            "\xf0\x80\x80\x80", "\xf4\x90\x80\x80", "\xf5\x80\x80\x80", "\xff",
                            "\xe4\xb8", "a\xc3", "\xc3\x28"}) {
        EXPECT_FALSE(isValidUtf8(bad)) << testing::PrintToString(bad);
    }
}

TEST(Utf8, BackspaceRemovesWholeCharacters) {
    std::string text = "4\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80";
    for (const char* expected : {"4\xc3\xa9\xe4\xb8\xad", "4\xc3\xa9", "4", ""}) {
        removeLastCodePoint(text);
        EXPECT_EQ(text, expected);
    }
    std::string broken = "4\x80\x80\x80\x80";  // never more than one byte of a malformed tail
    removeLastCodePoint(broken);
    EXPECT_EQ(broken, "4\x80\x80\x80");
}

TEST(Drill, InvalidUtf8LinesAreRefusedWhole) {
    DrillRun run;
    run("save 5\ntype 4\n");
    const std::string bad[] = {"type 1\xff",    "save 3,\xc0\x80", "paste \xed\xa0\x80",
                               "type \xe4\xb8", "sh\x80w",         "key 2\xf5"};
    for (const std::string& line : bad) {
        EXPECT_EQ(run(line + "\n"), "error: line is not valid UTF-8\n");
    }
    EXPECT_EQ(run.state().answerText(), "4");
    EXPECT_EQ(run.state().mark(), practice::Mark::Correct);
}

TEST(Drill, CarriageReturnsOfWindowsLineEndsAreDropped) {
    DrillRun run;
    EXPECT_EQ(run("save 5\r\ntype 4\r\n\r\n# note\r\nshow\r\n"),
              "state whole=5 known=1 answer=4 mark=correct correct=1 next=1 title=5的分解计算 "
              "list=- pos=0\n");
}

TEST(Drill, MultiByteCharactersAreOneKeystrokeAndOneBackspace) {
    DrillRun run;
    // Before a number is set each character warns on its own; only the first opens the dialog.
    const std::string out = run("type 中文\n");
    EXPECT_EQ(countOf(out, "warning 输入错误|请先设置要分解的数\n"), 2u);
    EXPECT_EQ(countOf(out, "dialog modeless\n"), 1u);
    run("save 5\npaste 4é\n");
    EXPECT_EQ(run.state().mark(), practice::Mark::None);
    run("key 8\n");
    EXPECT_EQ(run.state().answerText(), "4");
    EXPECT_EQ(run.state().mark(), practice::Mark::Correct);
}

TEST(Drill, UnusualKeyCodesNeverReachTheBoxAsText) {
    DrillRun run;
    // Without a number the filter lets them pass, but the box inserts no control character.
    EXPECT_EQ(run("key 0\nkey 127\nkey 155\nkey 55296\nkey 1114111\n").find("state"),
              std::string::npos);
    EXPECT_EQ(run.state().answerText(), "");
    run("save 5\n");
    EXPECT_EQ(run("key 55296\nkey 0\n"), kDigitsOnly + kDigitsOnly);
    EXPECT_EQ(run("key 1114112\n"),
              "error: key needs a decimal character code from 0 to 1114111\n");
}

TEST(Drill, UnknownCommandsAreQuotedShortAndPrintable) {
    DrillRun run;
    EXPECT_EQ(run(std::string(100000, 'z') + " 1\n"),
              "error: unknown command \"" + std::string(32, 'z') + "...\"\n");
    EXPECT_EQ(run("a\tb\n"), "error: unknown command \"a?b\"\n");
}

TEST(Drill, HundredThousandCharacterLines) {
    DrillRun run;
    const std::string digits(100000, '7');
    const std::string letters(100000, 'q');

    // Lists: one huge number, 50,000 or 40,000 entries: refused, practice untouched.
    EXPECT_EQ(run("save " + digits + "\n"), "warning 输入错误|您输入格式不正确，请重新输入\n");
    std::string list = "1";
    for (int k = 1; k < 40000; ++k) list += ",1";
    EXPECT_EQ(run("save " + list + "\n"), "warning 输入错误|您输入格式不正确，请重新输入\n");
    EXPECT_EQ(run("save " + letters + "\n"), "warning 输入错误|您输入了非法字符，请重新输入\n");
    EXPECT_FALSE(run.state().wholeNumber());

    // Before a number: every keystroke warns, the dialog opens once, the box stays empty.
    std::string out = run("type " + letters + "\n");
    EXPECT_EQ(countOf(out, "warning"), letters.size());
    EXPECT_EQ(countOf(out, "dialog modeless"), 1u);
    EXPECT_EQ(run.state().answerText(), "");

    // With a number: letters each warn and erase; digits fill the box up to its limit.
    run("save 5\ntype 4\n");
    EXPECT_EQ(countOf(run("type " + letters + "\n"), kDigitsOnly), letters.size());
    EXPECT_EQ(run.state().answerText(), "");
    EXPECT_EQ(run("type " + digits + "\n"), "");
    EXPECT_EQ(run.state().answerText(), std::string(kAnswerBoxLimit, '7'));
    EXPECT_EQ(run.state().mark(), practice::Mark::Wrong);
    EXPECT_EQ(run("paste " + digits + "\n"), "");
    EXPECT_EQ(run.state().answerText().size(), kAnswerBoxLimit);

    // A paste is cut at the limit too, counted in characters.
    run("save 5\n");
    run("paste " + std::string(40000, ' ') + "\n");
    EXPECT_EQ(run.state().answerText(), std::string(kAnswerBoxLimit, ' '));
    std::string chinese;
    for (int k = 0; k < 40000; ++k) chinese += "中";
    run("save 5\npaste 4\npaste " + chinese + "\n");
    EXPECT_EQ(run.state().answerText().size(), 1 + 3 * (kAnswerBoxLimit - 1));
}

}  // namespace
}  // namespace drill

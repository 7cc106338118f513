// The practice state as the main window sees it: what it asks of the view, and when.
// The walks of a practice are told as drill scenarios; these are the parts a script cannot see.
#include "practice/practice_state.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace practice {
namespace {

using ::testing::_;
using ::testing::AnyNumber;
using ::testing::InSequence;
using ::testing::NiceMock;

class MockView : public PracticeView {
  public:
    MOCK_METHOD(void, showWarning, (const std::string& message, const std::string& title),
                (override));
    MOCK_METHOD(void, focusAnswer, (), (override));
    MOCK_METHOD(void, openNumberListDialog, (bool modal), (override));
    MOCK_METHOD(void, redraw, (), (override));
};

// A view that only counts, for long walks where a mock would dominate the run time.
struct CountingView : PracticeView {
    void showWarning(const std::string&, const std::string&) override { ++warnings; }
    void focusAnswer() override {}
    void openNumberListDialog(bool) override {}
    void redraw() override {}
    int warnings = 0;
};

// Every field the window draws, to show that a refused action leaves the practice alone.
struct Snapshot {
    std::optional<int16_t> whole, known;
    std::string title, answer;
    Mark mark;
    bool correct, next;
    std::optional<std::vector<std::string>> list;
    int16_t position;
    bool operator==(const Snapshot&) const = default;
};
Snapshot snapshot(const PracticeState& s) {
    return {s.wholeNumber(),   s.knownPart(),   s.titleText(),  s.answerText(),  s.mark(),
            s.answerCorrect(), s.nextEnabled(), s.numberList(), s.listPosition()};
}

TEST(PracticeState, StartingANumberFocusesTheAnswerAfterTheFieldsAreDrawn) {
    NiceMock<MockView> view;
    PracticeState state(view);
    std::vector<std::string> calls;
    ON_CALL(view, redraw()).WillByDefault([&] { calls.push_back("redraw " + state.titleText()); });
    ON_CALL(view, focusAnswer()).WillByDefault([&] { calls.push_back("focus"); });
    state.startNumber(6);
    EXPECT_THAT(calls, ::testing::ElementsAre("redraw 6的分解计算", "focus"));
    EXPECT_EQ(state.knownPart(), 1);
}

TEST(PracticeState, TypingBeforeANumberWarnsOnceAndOpensTheDialogModeless) {
    NiceMock<MockView> view;
    PracticeState state(view);
    {
        InSequence order;
        EXPECT_CALL(view, showWarning("请先设置要分解的数", "输入错误"));
        // Emptying the box runs the check again; it asks for the dialog but does not warn.
        EXPECT_CALL(view, openNumberListDialog(false)).Times(2);
    }
    EXPECT_CALL(view, openNumberListDialog(true)).Times(0);
    state.setAnswerText("7");
    EXPECT_EQ(state.answerText(), "");
}

TEST(PracticeState, SettingTheTextItHoldsRunsNoCheck) {
    NiceMock<MockView> view;
    PracticeState state(view);
    EXPECT_CALL(view, openNumberListDialog(_)).Times(0);
    EXPECT_CALL(view, redraw()).Times(0);
    state.setAnswerText("");
    // The window may still run the check itself: with an empty answer it only opens the dialog.
    EXPECT_CALL(view, openNumberListDialog(false));
    EXPECT_CALL(view, showWarning(_, _)).Times(0);
    state.answerChanged();
}

TEST(PracticeState, KeystrokeFilterOnlyActsOnceANumberIsSet) {
    NiceMock<MockView> view;
    PracticeState state(view);
    EXPECT_CALL(view, showWarning(_, _)).Times(0);
    for (int code : {int{'a'}, 22, 0, -1, 0x10FFFF, 0x663})
        EXPECT_EQ(state.filterAnswerKey(code), code);

    state.applyNumberList("5");
    for (int code : {int{'0'}, int{'9'}, 8, 13, 0xFF10, 0xFF19})
        EXPECT_EQ(state.filterAnswerKey(code), code);
    // Everything else, Ctrl+V, other scripts' digits and nonsense codes included, becomes a
    // Backspace; full-width digits (above) are digits.
    const int refused[] = {'a', ' ', '-', '.',   '/',    ':',    22,       0,         9,
                           10,  127, -1,  0x663, 0xFF1A, 0xD800, 0x110000, 0x7FFFFFFF};
    EXPECT_CALL(view, showWarning("不能输入其它字符，只能输入数字！", "输入错误"))
        .Times(std::size(refused));
    for (int code : refused) EXPECT_EQ(state.filterAnswerKey(code), 8) << code;
}

TEST(PracticeState, NothingChangedMeansNoRedraw) {
    NiceMock<MockView> view;
    PracticeState state(view);
    state.applyNumberList("4");
    EXPECT_CALL(view, redraw()).Times(0);
    state.nextPressed();    // empty answer
    state.keyReleased(13);  // not correct yet
    state.keyReleased('a');
    state.setTitleText("4的分解计算");
    state.answerChanged();  // empty answer: nothing changes
}

TEST(PracticeState, RefusedSavesLeaveThePracticeAlone) {
    NiceMock<MockView> view;
    PracticeState state(view);
    state.applyNumberList("3,5");
    state.setAnswerText("2");
    const Snapshot before = snapshot(state);

    const std::string hostile[] = {
        ",3",
        "3,a",
        std::string(100000, '7'),
        std::string(100000, 'x'),
        "3,\xff,5",
        "3,\xe4\xb8",  // a truncated character
        std::string("3\0"
                    "5",
                    3),
        "3\t5",
        "\xd9\xa3",  // Arabic-Indic three
        "3,32768",
        "99999999999999999999",
    };
    for (std::string text : hostile) {
        EXPECT_CALL(view, showWarning(_, "输入错误"));
        EXPECT_FALSE(saveNumberList(state, view, text));
        EXPECT_EQ(text, "") << "the dialog's text is emptied";
        EXPECT_EQ(snapshot(state), before);
    }
    // The practice state itself ignores a text that would not pass the check.
    for (const std::string& text : hostile) state.applyNumberList(text);
    EXPECT_EQ(snapshot(state), before);
}

std::string repeatedList(const std::string& entry, size_t entries) {
    std::string text;
    text.reserve(entries * (entry.size() + 1));
    for (size_t k = 0; k < entries; ++k) text += (k ? "," : "") + entry;
    return text;
}

TEST(NumberListCheck, AnIllegalCharacterWinsOverANumberTooBig) {
    EXPECT_EQ(checkNumberList("99999,a").message, "您输入了非法字符，请重新输入");
}

TEST(NumberListCheck, ListsUpTo32767Entries) {
    EXPECT_TRUE(checkNumberList(repeatedList("2", 32767)).accepted);
    EXPECT_EQ(checkNumberList(repeatedList("2", 32768)).message, "您输入格式不正确，请重新输入");
    EXPECT_FALSE(checkNumberList(repeatedList("2", 40000)).accepted);
    // Empty entries count as entries.
    EXPECT_FALSE(checkNumberList(std::string(40000, ',').insert(0, "1")).accepted);
}

TEST(PracticeState, TheLongestListRunsToItsEnd) {
    CountingView view;
    PracticeState state(view);
    state.applyNumberList(repeatedList("2", 32767));
    ASSERT_EQ(state.numberList()->size(), 32767u);
    for (int position = 0; position < 32766; ++position) {
        ASSERT_EQ(state.listPosition(), position);
        state.setAnswerText("1");
        state.nextPressed();
    }
    EXPECT_EQ(state.listPosition(), 32766);
    state.setAnswerText("1");
    EXPECT_EQ(state.titleText(), "非常棒！您已做完了所有的题");
    EXPECT_EQ(state.listPosition(), 0);
    EXPECT_EQ(view.warnings, 0);
}

TEST(PracticeState, AFractionThatRoundsToOneIsCorrectButFinishesNoList) {
    NiceMock<MockView> view;
    PracticeState state(view);
    state.applyNumberList("3,2");
    state.setAnswerText("2");
    state.nextPressed();
    state.setAnswerText("1");
    state.nextPressed();
    ASSERT_EQ(state.wholeNumber(), 2);
    state.setAnswerText("1.4");
    EXPECT_EQ(state.mark(), Mark::Correct);
    EXPECT_EQ(state.titleText(), "2的分解计算");
    state.setAnswerText("1.0");
    EXPECT_EQ(state.titleText(), "非常棒！您已做完了所有的题");
}

TEST(PracticeState, ExtremeNumbersNeitherOverflowNorAdvanceWrongly) {
    NiceMock<MockView> view;
    PracticeState state(view);
    // Numbers the dialog never hands over still behave: k can never pass N - 1.
    state.startNumber(-32768);
    state.setAnswerText("32767");  // 32767 + 1 leaves 16 bits: wrong
    EXPECT_EQ(state.mark(), Mark::Wrong);
    state.setAnswerText("-32767");
    EXPECT_EQ(state.mark(), Mark::Wrong);
    state.startNumber(32767);
    state.setAnswerText("32766");
    EXPECT_TRUE(state.answerCorrect());
    state.nextPressed();
    EXPECT_EQ(state.knownPart(), 2);
}

}  // namespace
}  // namespace practice

#include "practice/practice_state.h"

#include <string_view>
#include <utility>

#include "practice/number_reading.h"

namespace practice {
namespace {

constexpr std::string_view kInputError = "输入错误";
constexpr std::string_view kDigitsOnly = "不能输入其它字符，只能输入数字！";
constexpr std::string_view kSetNumberFirst = "请先设置要分解的数";
constexpr std::string_view kTitleSuffix = "的分解计算";
constexpr std::string_view kSingleDone = "非常棒！所有的题都做完了";
constexpr std::string_view kListDone = "非常棒！您已做完了所有的题";

constexpr int kBackspace = 8;
constexpr int kEnter = 13;

}  // namespace

PracticeState::PracticeState(PracticeView& view) : view_(view) {}

// Fields change through these so that the window is told once per action (see flush).
void PracticeState::setMark(Mark mark) {
    if (mark_ != mark) {
        mark_ = mark;
        dirty_ = true;
    }
}

void PracticeState::setAnswerCorrect(bool correct) {
    if (answerCorrect_ != correct) {
        answerCorrect_ = correct;
        dirty_ = true;
    }
}

void PracticeState::setNextEnabled(bool enabled) {
    if (nextEnabled_ != enabled) {
        nextEnabled_ = enabled;
        dirty_ = true;
    }
}

// Redraws before the view is asked anything (a modal box must show current values) and at the
// end of every action.
void PracticeState::flush() {
    if (dirty_) {
        dirty_ = false;
        view_.redraw();
    }
}

void PracticeState::setTitleText(std::string text) {
    if (titleText_ != text) {
        titleText_ = std::move(text);
        dirty_ = true;
    }
    flush();
}

void PracticeState::setAnswerText(std::string text) {
    if (answerText_ == text) return;
    answerText_ = std::move(text);
    dirty_ = true;
    answerChanged();
    flush();
}

void PracticeState::startNumber(int16_t n) {
    setNextEnabled(true);
    setAnswerText({});
    setMark(Mark::None);
    wholeNumber_ = n;
    titleText_ = std::to_string(n);
    titleText_ += kTitleSuffix;
    knownPart_ = 1;
    dirty_ = true;
    flush();
    view_.focusAnswer();
}

void PracticeState::nextPressed() {
    if (answerText_.empty() || titleText_.empty() || !answerCorrect_) return;
    // A correct answer needs a number; the guard keeps a misuse from reading unset fields.
    if (!wholeNumber_ || !knownPart_) return;

    if (int{*knownPart_} < int{*wholeNumber_} - 1) {
        knownPart_ = static_cast<int16_t>(*knownPart_ + 1);
        dirty_ = true;
        setAnswerText({});
        flush();
        view_.focusAnswer();
        setMark(Mark::None);
    } else if (numberList_) {
        const auto lastIndex = static_cast<int>(numberList_->size()) - 1;
        if (listPosition_ < lastIndex) {
            setNextEnabled(true);
            setAnswerText({});
            setMark(Mark::None);
            listPosition_ = static_cast<int16_t>(listPosition_ + 1);
            dirty_ = true;
            const std::string entry = (*numberList_)[static_cast<size_t>(listPosition_)];
            // An empty entry sets nothing up: the previous number stays at its last split.
            if (const auto value = readListEntry(entry)) startNumber(*value);
        }
    } else {
        titleText_ = kSingleDone;
        dirty_ = true;
        setAnswerCorrect(false);
        setNextEnabled(false);
    }
    flush();
}

void PracticeState::applyNumberList(const std::string& text) {
    // Only checked texts are applied; anything else would start numbers that do not fit.
    if (!checkNumberList(text).accepted) return;

    if (text.find(',') == std::string::npos) {
        if (!text.empty()) {
            if (numberList_) {
                numberList_.reset();
                dirty_ = true;
            }
            if (const auto value = readListEntry(text)) startNumber(*value);
        }
    } else {
        std::vector<std::string> entries;
        size_t begin = 0;
        for (;;) {
            const size_t comma = text.find(',', begin);
            if (comma == std::string::npos) {
                entries.push_back(text.substr(begin));
                break;
            }
            entries.push_back(text.substr(begin, comma - begin));
            begin = comma + 1;
        }
        numberList_ = std::move(entries);
        listPosition_ = 0;
        dirty_ = true;
        if (const auto value = readListEntry(numberList_->front())) startNumber(*value);
    }
    setNextEnabled(true);
    flush();
}

int PracticeState::filterAnswerKey(int code) {
    if (!wholeNumber_) return code;
    // Full-width digits are digits: a Chinese input method types them in its Chinese mode.
    if (isDigitCode(code) || code == kBackspace || code == kEnter) return code;
    flush();
    view_.showWarning(std::string(kDigitsOnly), std::string(kInputError));
    return kBackspace;
}

void PracticeState::answerChanged() {
    if (!wholeNumber_) {
        if (!answerText_.empty()) {
            flush();
            view_.showWarning(std::string(kSetNumberFirst), std::string(kInputError));
        }
        // Emptying the box runs this check once more; that run only asks for the dialog again.
        setAnswerText({});
        flush();
        view_.openNumberListDialog(false);
        return;
    }
    if (answerText_.empty()) return;
    const NumberReading reading = readNumber(halfWidthDigits(answerText_));
    if (!reading.isNumber) return;

    // Sums are formed in 32 bits; an answer outside 16 bits, or a sum leaving that range,
    // can never equal the whole number and is simply wrong.
    const bool correct = reading.rounded && knownPart_ &&
                         int{*reading.rounded} + int{*knownPart_} == int{*wholeNumber_};
    if (!correct) {
        setMark(Mark::Wrong);
        setAnswerCorrect(false);
        flush();
        return;
    }
    setMark(Mark::Correct);
    setAnswerCorrect(true);
    // The answer 1 answers the last split of a number; at the last entry the list is done.
    if (numberList_ && reading.exactlyOne &&
        listPosition_ == static_cast<int>(numberList_->size()) - 1) {
        titleText_ = kListDone;
        setAnswerCorrect(false);
        listPosition_ = 0;
        dirty_ = true;
    }
    flush();
}

void PracticeState::keyReleased(int code) {
    if (code == kEnter && answerCorrect_) nextPressed();
}

}  // namespace practice

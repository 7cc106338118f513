#pragma once
// The practice state: the numbers the teacher saved, where the child is, and the answer rules.
// Window-free; the main window implements PracticeView and forwards the child's actions here.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace practice {

enum class Mark { None, Correct, Wrong };

// What the practice state asks of the window it is shown in.
class PracticeView {
  public:
    virtual ~PracticeView() = default;
    // A modal warning box (warning icon, one OK button); returns when it is dismissed.
    virtual void showWarning(const std::string& message, const std::string& title) = 0;
    // Keyboard focus into the answer box.
    virtual void focusAnswer() = 0;
    // Show the number-list dialog, modal (returns when it closes) or modeless.
    virtual void openNumberListDialog(bool modal) = 0;
    // Some field changed; show the new values.
    virtual void redraw() = 0;
};

class PracticeState {
  public:
    explicit PracticeState(PracticeView& view);

    // Fields, as the main window draws them. Texts are UTF-8.
    std::optional<int16_t> wholeNumber() const { return wholeNumber_; }
    std::optional<int16_t> knownPart() const { return knownPart_; }
    const std::string& titleText() const { return titleText_; }
    const std::string& answerText() const { return answerText_; }
    Mark mark() const { return mark_; }
    bool answerCorrect() const { return answerCorrect_; }
    bool nextEnabled() const { return nextEnabled_; }
    const std::optional<std::vector<std::string>>& numberList() const { return numberList_; }
    int16_t listPosition() const { return listPosition_; }

    // The window sets the start-up hint through this.
    void setTitleText(std::string text);
    // Every change of the answer runs the answer check; setting the same text is no change.
    void setAnswerText(std::string text);

    void startNumber(int16_t n);
    void nextPressed();
    // Takes a list text that already passed checkNumberList.
    void applyNumberList(const std::string& text);

    // Keystroke filter: returns the code the answer box processes instead of `code`.
    int filterAnswerKey(int code);
    // The answer check; setAnswerText calls it, the window need not.
    void answerChanged();
    // Release of a key anywhere in the main window (13 = Enter runs Next after a correct answer).
    void keyReleased(int code);

  private:
    void setMark(Mark mark);
    void setAnswerCorrect(bool correct);
    void setNextEnabled(bool enabled);
    void flush();

    PracticeView& view_;
    bool dirty_ = false;  // a field changed since the last redraw
    std::optional<int16_t> wholeNumber_;
    std::optional<int16_t> knownPart_;
    std::string titleText_;
    std::string answerText_;
    Mark mark_ = Mark::None;
    bool answerCorrect_ = false;
    bool nextEnabled_ = true;
    std::optional<std::vector<std::string>> numberList_;
    int16_t listPosition_ = 0;
};

// The number-list dialog's check of the teacher's text, shared by the dialog and the drill.
struct NumberListVerdict {
    bool accepted = false;
    std::string message;  // the warning text when refused
    std::string title;    // "输入错误" when refused
};
NumberListVerdict checkNumberList(const std::string& text);

// The dialog's Save: the text as normaliseNumberList reads it is checked; warn through the view and
// empty `text` when refused, otherwise applyNumberList. Returns true when saved (the dialog then
// hides).
bool saveNumberList(PracticeState& state, PracticeView& view, std::string& text);

}  // namespace practice

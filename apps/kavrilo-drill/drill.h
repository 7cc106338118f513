#pragma once
// The practice drill: drives one PracticeState through a text-only view, one command per line.
//
//   save TEXT    the number-list dialog's Save with TEXT in its text box
//   type TEXT    each character of TEXT as one keystroke into the answer box, caret at the end
//   key CODE     one keystroke by decimal character code (22 is Ctrl+V)
//   paste TEXT   TEXT pasted at the caret from the context menu (no keystroke)
//   next         a click on the Next button (nothing while it is disabled)
//   enter        Enter pressed in the answer box and released in the main window
//   show         prints the practice state on one line
//
// Warnings print as "warning TITLE|MESSAGE", the dialog showing as "dialog modal|modeless", and
// anything not understood as "error: REASON"; empty lines and lines starting with "#" are skipped.
#include <cstddef>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>

#include "practice/practice_state.h"

namespace drill {

// The answer box holds at most this many characters, like a standard line edit.
constexpr size_t kAnswerBoxLimit = 32767;

class Drill {
  public:
    explicit Drill(std::ostream& out);

    // Runs one line (without its line break; a trailing carriage return is ignored).
    void runLine(std::string_view line);
    // Runs every line of `in`.
    void run(std::istream& in);

    const practice::PracticeState& state() const { return state_; }
    bool dialogVisible() const { return view_.dialogVisible; }

  private:
    // The main window and the number-list dialog, as text.
    struct TextView : practice::PracticeView {
        explicit TextView(std::ostream& o) : out(o) {}
        void showWarning(const std::string& message, const std::string& title) override;
        void focusAnswer() override {}
        void openNumberListDialog(bool modal) override;
        void redraw() override {}

        std::ostream& out;
        bool dialogVisible = false;
        std::string dialogText;
    };

    void keystroke(int code);
    size_t boxCharacters();
    void setBoxText(std::string text, size_t characters);
    void paste(std::string_view text);
    void save(std::string_view text);
    void key(std::string_view argument);
    void show();
    void error(std::string_view reason);

    std::ostream& out_;
    TextView view_;
    practice::PracticeState state_;
    size_t boxBytes_ = 0;
    size_t boxCharacters_ = 0;
};

}  // namespace drill

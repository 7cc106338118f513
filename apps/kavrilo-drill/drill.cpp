#include "drill.h"

#include <algorithm>

#include "utf8.h"

namespace drill {
namespace {

constexpr int kBackspace = 8;
constexpr int kEnter = 13;
constexpr char32_t kMaxCodePoint = 0x10FFFF;

// What the answer box inserts: anything but control characters, surrogates and values beyond
// Unicode.
bool isInsertable(int code) {
    if (code < 0x20 || code == 0x7F || (code >= 0x80 && code <= 0x9F)) return false;
    if (code >= 0xD800 && code <= 0xDFFF) return false;
    return code <= static_cast<int>(kMaxCodePoint);
}

const char* markName(practice::Mark mark) {
    switch (mark) {
        case practice::Mark::Correct:
            return "correct";
        case practice::Mark::Wrong:
            return "wrong";
        case practice::Mark::None:
            break;
    }
    return "none";
}

// A short, printable rendering of an unknown command for the error line.
std::string quoted(std::string_view word) {
    constexpr size_t kShown = 32;
    std::string shown(prefixOfCodePoints(word, kShown));
    std::replace_if(
        shown.begin(), shown.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }, '?');
    if (shown.size() < word.size()) shown += "...";
    return "\"" + shown + "\"";
}

}  // namespace

void Drill::TextView::showWarning(const std::string& message, const std::string& title) {
    out << "warning " << title << '|' << message << '\n';
}

void Drill::TextView::openNumberListDialog(bool modal) {
    if (dialogVisible) return;
    dialogVisible = true;
    out << "dialog " << (modal ? "modal" : "modeless") << '\n';
}

Drill::Drill(std::ostream& out) : out_(out), view_(out), state_(view_) {
    // What the main window shows when it opens, before any number is saved.
    state_.setTitleText("请先设置要分解数字");
}

void Drill::run(std::istream& in) {
    std::string line;
    while (std::getline(in, line)) runLine(line);
    out_.flush();
}

void Drill::runLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find_first_not_of(" \t") == std::string_view::npos || line.front() == '#') return;
    if (!isValidUtf8(line)) return error("line is not valid UTF-8");

    const size_t space = line.find(' ');
    const std::string_view command = line.substr(0, space);
    const std::string_view argument =
        space == std::string_view::npos ? std::string_view{} : line.substr(space + 1);

    if (command == "save") {
        save(argument);
    } else if (command == "type") {
        for (size_t pos = 0; pos < argument.size();) {
            keystroke(static_cast<int>(nextCodePoint(argument, pos)));
        }
    } else if (command == "key") {
        key(argument);
    } else if (command == "paste") {
        paste(argument);
    } else if (command == "next" || command == "enter" || command == "show") {
        if (!argument.empty()) return error(std::string(command) + " takes no argument");
        if (command == "next") {
            if (state_.nextEnabled()) state_.nextPressed();
        } else if (command == "enter") {
            keystroke(kEnter);
            state_.keyReleased(kEnter);
        } else {
            show();
        }
    } else {
        error("unknown command " + quoted(command));
    }
}

void Drill::keystroke(int code) {
    const int processed = state_.filterAnswerKey(code);
    std::string text = state_.answerText();
    size_t characters = boxCharacters();
    if (processed == kBackspace) {
        if (!text.empty()) --characters;
        removeLastCodePoint(text);
    } else if (isInsertable(processed) && characters < kAnswerBoxLimit) {
        appendCodePoint(text, static_cast<char32_t>(processed));
        ++characters;
    }
    setBoxText(std::move(text), characters);
}

void Drill::paste(std::string_view text) {
    const size_t characters = boxCharacters();
    const size_t room = characters < kAnswerBoxLimit ? kAnswerBoxLimit - characters : 0;
    const std::string_view fits = prefixOfCodePoints(text, room);
    setBoxText(state_.answerText() + std::string(fits), characters + countCodePoints(fits));
}

// The box's character count is kept alongside its text so that a keystroke costs no recount;
// the practice state only ever empties the box, which the byte size reveals.
size_t Drill::boxCharacters() {
    const std::string& text = state_.answerText();
    if (text.size() != boxBytes_) {
        boxBytes_ = text.size();
        boxCharacters_ = countCodePoints(text);
    }
    return boxCharacters_;
}

void Drill::setBoxText(std::string text, size_t characters) {
    boxBytes_ = text.size();
    boxCharacters_ = characters;
    state_.setAnswerText(std::move(text));  // an unchanged text runs no check
}

void Drill::save(std::string_view text) {
    view_.dialogText = std::string(text);
    if (practice::saveNumberList(state_, view_, view_.dialogText)) view_.dialogVisible = false;
}

void Drill::key(std::string_view argument) {
    if (argument.empty() || argument.size() > 7 ||
        !std::all_of(argument.begin(), argument.end(),
                     [](char c) { return c >= '0' && c <= '9'; })) {
        return error("key needs a decimal character code from 0 to 1114111");
    }
    int code = 0;
    for (char c : argument) code = code * 10 + (c - '0');
    if (code > static_cast<int>(kMaxCodePoint)) {
        return error("key needs a decimal character code from 0 to 1114111");
    }
    keystroke(code);
}

void Drill::show() {
    const auto& s = state_;
    out_ << "state whole=";
    if (s.wholeNumber()) out_ << *s.wholeNumber();
    out_ << " known=";
    if (s.knownPart()) out_ << *s.knownPart();
    out_ << " answer=" << s.answerText() << " mark=" << markName(s.mark())
         << " correct=" << (s.answerCorrect() ? 1 : 0) << " next=" << (s.nextEnabled() ? 1 : 0)
         << " title=" << s.titleText() << " list=";
    if (s.numberList()) {
        bool first = true;
        for (const auto& entry : *s.numberList()) {
            if (!first) out_ << ',';
            out_ << entry;
            first = false;
        }
    } else {
        out_ << '-';
    }
    out_ << " pos=" << s.listPosition() << '\n';
}

void Drill::error(std::string_view reason) {
    out_ << "error: " << reason << '\n';
}

}  // namespace drill

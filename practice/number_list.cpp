// The number-list dialog's Save check, shared by the dialog and the drill.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <string_view>

#include "practice/number_reading.h"
#include "practice/practice_state.h"

namespace practice {
namespace {

constexpr std::string_view kInputError = "输入错误";
constexpr std::string_view kBadFormat = "您输入格式不正确，请重新输入";
constexpr std::string_view kIllegalCharacter = "您输入了非法字符，请重新输入";

NumberListVerdict refuse(std::string_view message) {
    return {false, std::string(message), std::string(kInputError)};
}

}  // namespace

NumberListVerdict checkNumberList(const std::string& text) {
    if (!text.empty() && text.front() == ',') return refuse(kBadFormat);
    // Byte by byte: every byte of a multi-byte character is outside "0"-"9" and ",".
    const bool legal = std::all_of(text.begin(), text.end(),
                                   [](char c) { return (c >= '0' && c <= '9') || c == ','; });
    if (!legal) return refuse(kIllegalCharacter);

    // Numbers and positions are 16 bits: refuse what the practice could not hold.
    const auto commas = static_cast<size_t>(std::count(text.begin(), text.end(), ','));
    if (commas + 1 > static_cast<size_t>(std::numeric_limits<int16_t>::max())) {
        return refuse(kBadFormat);
    }
    size_t begin = 0;
    while (begin <= text.size()) {
        const size_t end = std::min(text.find(',', begin), text.size());
        const std::string_view entry(text.data() + begin, end - begin);
        if (!entry.empty() && !readListEntry(entry)) return refuse(kBadFormat);
        begin = end + 1;
    }
    return {true, {}, {}};
}

bool saveNumberList(PracticeState& state, PracticeView& view, std::string& text) {
    const std::string list = normaliseNumberList(text);
    const NumberListVerdict verdict = checkNumberList(list);
    if (!verdict.accepted) {
        view.showWarning(verdict.message, verdict.title);
        text.clear();
        return false;
    }
    state.applyNumberList(list);
    return true;
}

}  // namespace practice

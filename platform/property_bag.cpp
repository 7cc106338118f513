#include "platform/property_bag.h"

#include <algorithm>

#include "platform/memory_budget.h"
#include "platform/runtime_error.h"

namespace platform {

namespace {

constexpr int32_t kInvalidCall = 5;

[[noreturn]] void raiseInvalidName() {
    throw RuntimeError(kInvalidCall, "PropertyBag", "Invalid procedure call or argument");
}

}  // namespace

size_t PropertyBag::maxFileBytes() noexcept {
    return memoryBudgetBytes() + kFileOverheadBytes;
}

std::string lowerName(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool validPropertyName(std::string_view name) noexcept {
    if (name.empty() || name.size() > PropertyBag::kMaxNameLength) return false;
    return std::all_of(name.begin(), name.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

void PropertyBag::writeProperty(std::string_view name, PropertyValue value) {
    if (!validPropertyName(name)) raiseInvalidName();
    const std::string key = lowerName(name);
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const Entry& e) { return e.name == key; });
    if (it != entries_.end()) {
        it->value = std::move(value);
    } else {
        entries_.push_back(Entry{key, std::move(value)});
    }
}

void PropertyBag::writeProperty(std::string_view name, PropertyValue value,
                                const PropertyValue& defaultValue) {
    if (!value.sameAs(defaultValue)) {
        writeProperty(name, std::move(value));
        return;
    }
    if (!validPropertyName(name)) raiseInvalidName();
    // An older entry would otherwise outlive the write that made it the default again.
    const std::string key = lowerName(name);
    std::erase_if(entries_, [&](const Entry& e) { return e.name == key; });
}

const PropertyValue* PropertyBag::find(std::string_view name) const {
    const std::string key = lowerName(name);
    for (const auto& e : entries_)
        if (e.name == key) return &e.value;
    return nullptr;
}

PropertyValue PropertyBag::readProperty(std::string_view name,
                                        const PropertyValue& defaultValue) const {
    const auto* v = find(name);
    return v ? *v : defaultValue;
}

}  // namespace platform

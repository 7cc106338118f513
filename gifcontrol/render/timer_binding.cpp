#include "gifcontrol/render/timer_binding.h"

#include <new>
#include <unordered_map>
#include <utility>

namespace anigif {

// Timer identifier -> the procedures of the live instance that owns it. Entries hold it weakly,
// so it dies with the release.
struct TimerBinding::Table {
    std::unordered_map<platform::TimerId, const std::vector<TimerProcedure>*> instances;
};

TimerBinding::TimerBinding(std::string typeName, platform::TimerId timerId,
                           std::vector<TimerProcedure> procedures, ErrorReporter reportError)
    : typeName_(std::move(typeName)),
      timerId_(timerId),
      procedures_(std::move(procedures)),
      reportError_(std::move(reportError)) {}

TimerBinding::~TimerBinding() {
    ReleaseTimerCallback();
}

void TimerBinding::report(std::string_view text) const {
    if (reportError_) reportError_(text, "Error in " + typeName_ + ".cb_Callback");
}

platform::TimerService::Callback TimerBinding::BindTimerCallback(int32_t callbackNumber,
                                                                 int32_t argumentCount,
                                                                 int32_t entryNumber,
                                                                 bool /*checkRunState*/) {
    if (entryNumber != 0) {
        report("nThunkNo doesn't exist.");
        return {};
    }
    const auto count = static_cast<int64_t>(procedures_.size());
    if (callbackNumber < 1 || callbackNumber > count || argumentCount != 4 ||
        !procedures_[static_cast<size_t>(count - callbackNumber)]) {
        report("Callback address not found.");
        return {};
    }
    try {
        if (!table_) {
            auto table = std::make_shared<Table>();
            table->instances[timerId_] = &procedures_;
            table_ = std::move(table);
        }
        const auto index = static_cast<size_t>(count - callbackNumber);
        return [weak = std::weak_ptr<Table>(table_), index](platform::WindowId window,
                                                            platform::TimerId id, uint32_t time) {
            const std::shared_ptr<Table> table = weak.lock();
            if (!table) return;
            auto it = table->instances.find(id);
            if (it == table->instances.end()) return;
            // Copy the target first: the procedure may release the binding while it runs.
            const TimerProcedure procedure = (*it->second)[index];
            procedure(window, kTimerMessage, id, time);
        };
    } catch (const std::bad_alloc&) {
        // Out of memory: no entry, so no timer is started.
        return {};
    }
}

void TimerBinding::ReleaseTimerCallback() {
    if (table_) table_->instances.clear();
    table_.reset();
}

}  // namespace anigif

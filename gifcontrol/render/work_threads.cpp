#include "gifcontrol/render/work_threads.h"

#include <oneapi/tbb/blocked_range.h>
#include <oneapi/tbb/info.h>
#include <oneapi/tbb/parallel_for.h>
#include <oneapi/tbb/task_arena.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#include <sanitizer/tsan_interface.h>
#define ANIGIF_TSAN 1
#endif
#endif

namespace anigif {
namespace {
PieceSchedule gSchedule;

// The pool hands work over inside a library ThreadSanitizer cannot see into: tell it that what
// the caller did before a pass happens before every piece, and every piece before the caller
// goes on. Two addresses, so that pieces are not ordered against one another.
#ifdef ANIGIF_TSAN
void passStarts(void* gate) {
    __tsan_release(gate);
}
void pieceStarts(void* gate) {
    __tsan_acquire(gate);
}
void pieceEnds(void* gate) {
    __tsan_release(gate);
}
void passEnds(void* gate) {
    __tsan_acquire(gate);
}
#else
void passStarts(void*) {}
void pieceStarts(void*) {}
void pieceEnds(void*) {}
void passEnds(void*) {}
#endif

// One arena per thread count, made on first use and kept: making one per pass costs more than a
// small pass saves. An idle arena holds no threads. They are never destroyed, so that no arena
// outlives the thread pool's own statics at exit.
oneapi::tbb::task_arena& arenaFor(int32_t threads) {
    static std::mutex lock;
    static auto* arenas = new std::map<int32_t, std::unique_ptr<oneapi::tbb::task_arena>>;
    const std::lock_guard<std::mutex> hold(lock);
    auto& arena = (*arenas)[threads];
    if (!arena) arena = std::make_unique<oneapi::tbb::task_arena>(threads);
    return *arena;
}
}  // namespace

void setPieceSchedule(PieceSchedule schedule) {
    gSchedule = std::move(schedule);
}

int32_t workThreads(int32_t limit) noexcept {
    int32_t threads = 0;
    if (const char* env = std::getenv("ANIGIF_THREADS"); env != nullptr && *env != '\0') {
        char* end = nullptr;
        const long v = std::strtol(env, &end, 10);
        if (end != nullptr && *end == '\0' && v > 0) threads = v > 4096 ? 4096 : int32_t(v);
    }
    if (threads == 0) {
        try {
            threads = oneapi::tbb::info::default_concurrency();
        } catch (...) {
            threads = 1;
        }
    }
    if (limit > 0 && limit < threads) threads = limit;
    return threads < 1 ? 1 : threads;
}

std::size_t piecesFor(int32_t threads, std::size_t most, bool worthThreads) noexcept {
    if (threads <= 1 || (!worthThreads && !gSchedule.alwaysThreads && !gSchedule.order)) return 1;
    return std::max<std::size_t>(1, std::min(most, static_cast<std::size_t>(threads) * 2));
}

void forEachPiece(int32_t threads, std::size_t count, bool worthThreads,
                  const std::function<void(std::size_t)>& body) {
    if (gSchedule.order && count > 0) {
        for (std::size_t k : gSchedule.order(count)) body(k);
        return;
    }
    if (!worthThreads && !gSchedule.alwaysThreads) threads = 1;
    if (threads > 1 && count > 1) {
        std::unique_ptr<std::atomic<bool>[]> done;
        try {
            done = std::make_unique<std::atomic<bool>[]>(count);
            // An arena of `threads` caps this pass, whatever else the process runs.
            char startGate = 0, endGate = 0;
            passStarts(&startGate);
            arenaFor(threads).execute([&] {
                oneapi::tbb::parallel_for(
                    oneapi::tbb::blocked_range<std::size_t>(0, count, 1),
                    [&](const oneapi::tbb::blocked_range<std::size_t>& r) {
                        pieceStarts(&startGate);
                        for (std::size_t k = r.begin(); k != r.end(); ++k) {
                            body(k);
                            done[k].store(true, std::memory_order_relaxed);
                        }
                        pieceEnds(&endGate);
                    },
                    oneapi::tbb::simple_partitioner());
            });
            passEnds(&endGate);
            return;
        } catch (...) {
            // The pool could not start or spawn (no memory, no threads): what is left runs here.
            // parallel_for has waited for every piece it started before passing the error on.
        }
        for (std::size_t k = 0; k < count; ++k)
            if (!done || !done[k].load(std::memory_order_relaxed)) body(k);
        return;
    }
    for (std::size_t k = 0; k < count; ++k) body(k);
}

}  // namespace anigif

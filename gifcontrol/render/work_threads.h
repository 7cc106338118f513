#pragma once
// The control's parallel passes (frame decoding, scaled drawing of large targets): how many
// threads they may use, and a loop that spreads independent pieces of work over them. The loop
// returns only when every piece is done; nothing keeps running afterwards.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace anigif {

// Threads a parallel pass may use: the ANIGIF_THREADS environment variable when it holds a
// positive number, else every core the process may run on; `limit` above 0 caps the result.
// Always at least 1.
int32_t workThreads(int32_t limit = 0) noexcept;

// Calls body(k) once for every k in [0, count), spread over at most `threads` threads, and
// returns when all calls are done. With threads <= 1, count <= 1 or worthThreads false (too
// little work to pay for them) the calls run in order on the calling thread. `body` must not
// throw and must not touch what another call writes.
void forEachPiece(int32_t threads, std::size_t count, bool worthThreads,
                  const std::function<void(std::size_t)>& body);

// How many pieces to cut divisible work into for forEachPiece: 1 when it is not worth threads
// (or only one may run), else two per thread, at most `most`.
std::size_t piecesFor(int32_t threads, std::size_t most, bool worthThreads) noexcept;

// For tests and fuzzers, set on the thread that loads and paints. alwaysThreads: every pass
// counts as worth threads, however small. order: when set, the pieces of each pass run one by
// one on the calling thread in the order it gives (a permutation of 0 .. count - 1).
struct PieceSchedule {
    bool alwaysThreads = false;
    std::function<std::vector<std::size_t>(std::size_t count)> order;
};
void setPieceSchedule(PieceSchedule schedule);

}  // namespace anigif

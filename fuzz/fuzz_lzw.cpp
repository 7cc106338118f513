// Our LZW decoder against giflib's on arbitrary bytes (tests/support/lzw_oracle.h): a stream
// that starts like a GIF is decoded as it is; anything else is taken as LZW data and wrapped in
// a GIF (giftest::lzwDataAsGif).
// Any departure from giflib outside the partial-frame rule aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tests/support/lzw_oracle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const bool isGif =
        size >= 3 && (data[0] | 0x20) == 'g' && (data[1] | 0x20) == 'i' && (data[2] | 0x20) == 'f';
    const std::vector<uint8_t> bytes =
        isGif ? std::vector<uint8_t>(data, data + size) : giftest::lzwDataAsGif({data, size});
    const giftest::OracleVerdict v = giftest::compareWithGiflib(bytes, uint64_t{1} << 18);
    if (!v.fault.empty()) {
        std::fprintf(stderr, "LZW decoders disagree: %s\n", v.fault.c_str());
        std::abort();
    }
    return 0;
}

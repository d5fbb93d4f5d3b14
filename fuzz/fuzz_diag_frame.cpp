// Diagnostic frames from the phone: the input is fed in pieces whose lengths come from
// its first byte, so frames split anywhere are covered.
#include "phone/diag_frame_decoder.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t piece = data[0] % 17 + 1;
    CDiagFrameDecoder decoder;
    std::vector<uint8_t> payload;
    size_t frames = 0;
    for (size_t at = 1; at < size; at += piece) {
        decoder.Feed(data + at, std::min(piece, size - at));
        while (decoder.PopFrame(payload)) {
            FUZZ_CHECK(payload.size() <= size);
            ++frames;
        }
    }
    FUZZ_CHECK(frames <= size / 2);  // every frame needs at least a flag and a byte
    return 0;
}

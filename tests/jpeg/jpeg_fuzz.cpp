// libFuzzer target: any bytes through Open and Decode. The decoder's
// process-ending errors are turned into a return to this harness.
#include <setjmp.h>
#include <stddef.h>
#include <stdint.h>

#include "jpeg/jpeg_decoder.h"

namespace {

jmp_buf failureJump;

void ReturnToHarness(const char*) {
    longjmp(failureJump, 1);
}

// Pictures larger than this are legal but only cost time here.
const int32_t kLargestBuffer = 16 << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t count) {
    if (count > 0x7FFFFFFF) {
        return 0;
    }
    SetJpegFailureHook(ReturnToHarness);
    JpegDecoder decoder;
    if (setjmp(failureJump) == 0) {
        int32_t bufferSize = decoder.Open(bytes, static_cast<int32_t>(count));
        if (bufferSize <= kLargestBuffer) {
            decoder.Decode(nullptr);
        }
    }
    decoder.Release();
    return 0;
}

// The decoder's pixels follow from double-precision arithmetic. Where doubles
// are computed on the x87 unit (32-bit x86 without SSE2 math), its precision
// control is set to 53 bits while the decoder calculates, so that every
// product and sum is rounded exactly as a double; the previous setting is
// restored afterwards. Elsewhere this does nothing.
#pragma once

#include <stdint.h>

class JpegFloatPrecision {
public:
#if (defined(__i386__) || defined(_M_IX86)) && !defined(__SSE2_MATH__) && defined(__GNUC__)
    JpegFloatPrecision() {
        __asm__ volatile("fnstcw %0" : "=m"(saved_));
        uint16_t doublePrecision = static_cast<uint16_t>((saved_ & ~0x0300) | 0x0200);
        __asm__ volatile("fldcw %0" : : "m"(doublePrecision));
    }
    ~JpegFloatPrecision() {
        __asm__ volatile("fldcw %0" : : "m"(saved_));
    }

private:
    uint16_t saved_;
#else
    JpegFloatPrecision() {}
#endif
    JpegFloatPrecision(const JpegFloatPrecision&) = delete;
    JpegFloatPrecision& operator=(const JpegFloatPrecision&) = delete;
};

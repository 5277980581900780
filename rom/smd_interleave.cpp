#include "rom/smd_interleave.h"

#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define QL_SMD_SSE2 1
#define QL_SSE2_TARGET
#define QL_SSE2_AVAILABLE() true
#include <emmintrin.h>
#elif defined(__i386__) && defined(__GNUC__)
// 32-bit x86 builds do not assume SSE2; the vector path is chosen at run time.
#define QL_SMD_SSE2 1
#define QL_SSE2_TARGET __attribute__((target("sse2")))
#define QL_SSE2_AVAILABLE() (__builtin_cpu_supports("sse2") != 0)
#include <emmintrin.h>
#else
#define QL_SMD_SSE2 0
#endif

namespace ql {
namespace {

constexpr std::size_t kHalf = kSmdBlockSize / 2;     // 8 KB: odd bytes, then even bytes
constexpr std::size_t kQuarter = kSmdBlockSize / 4;  // 4 KB

// SMD byte k is plain byte 2k+1; SMD byte 8192+k is plain byte 2k.
void SmdBlockToPlainPortable(std::uint8_t* block) {
  std::uint8_t odd[kHalf];
  std::memcpy(odd, block, kHalf);
  // Writing at 2k never passes the read at 8192+k, so no even byte is lost.
  for (std::size_t k = 0; k < kHalf; ++k) {
    block[2 * k] = block[kHalf + k];
    block[2 * k + 1] = odd[k];
  }
}

void PlainBlockToSmdPortable(std::uint8_t* block) {
  std::uint8_t even[kQuarter];
  // Rising: a write at k never lands on a plain byte not yet read.
  for (std::size_t k = 0; k < kQuarter; ++k) {
    even[k] = block[2 * k];
    block[k] = block[2 * k + 1];
  }
  // Falling: the second plain half is read before anything overwrites it.
  for (std::size_t k = kQuarter; k-- > 0;) {
    block[kQuarter + k] = block[kHalf + 2 * k + 1];
    block[3 * kQuarter + k] = block[kHalf + 2 * k];
  }
  std::memcpy(block + kHalf, even, kQuarter);
}

#if QL_SMD_SSE2

QL_SSE2_TARGET void SmdBlockToPlainSse2(std::uint8_t* block) {
  alignas(16) std::uint8_t odd[kHalf];
  std::memcpy(odd, block, kHalf);
  // 32 bytes of each half per step: the 64 bytes written end at 2k+64, never
  // past the even bytes still to be read (8192+k+32 onwards).
  for (std::size_t k = 0; k < kHalf; k += 32) {
    const __m128i even0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + kHalf + k));
    const __m128i even1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + kHalf + k + 16));
    const __m128i odd0 = _mm_load_si128(reinterpret_cast<const __m128i*>(odd + k));
    const __m128i odd1 = _mm_load_si128(reinterpret_cast<const __m128i*>(odd + k + 16));
    __m128i* out = reinterpret_cast<__m128i*>(block + 2 * k);
    _mm_storeu_si128(out + 0, _mm_unpacklo_epi8(even0, odd0));
    _mm_storeu_si128(out + 1, _mm_unpackhi_epi8(even0, odd0));
    _mm_storeu_si128(out + 2, _mm_unpacklo_epi8(even1, odd1));
    _mm_storeu_si128(out + 3, _mm_unpackhi_epi8(even1, odd1));
  }
}

// Splits 32 plain bytes into their 16 even and 16 odd bytes.
QL_SSE2_TARGET inline void Deinterleave(const std::uint8_t* plain, __m128i& even, __m128i& odd) {
  const __m128i lowBytes = _mm_set1_epi16(0x00FF);
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(plain));
  const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(plain + 16));
  even = _mm_packus_epi16(_mm_and_si128(a, lowBytes), _mm_and_si128(b, lowBytes));
  odd = _mm_packus_epi16(_mm_srli_epi16(a, 8), _mm_srli_epi16(b, 8));
}

QL_SSE2_TARGET void PlainBlockToSmdSse2(std::uint8_t* block) {
  alignas(16) std::uint8_t even[kQuarter];
  // Same order as the portable version, 16 output bytes per step; each step
  // loads its 32 input bytes before it stores.
  for (std::size_t k = 0; k < kQuarter; k += 16) {
    __m128i e, o;
    Deinterleave(block + 2 * k, e, o);
    _mm_store_si128(reinterpret_cast<__m128i*>(even + k), e);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(block + k), o);
  }
  for (std::size_t k = kQuarter; k > 0;) {
    k -= 16;
    __m128i e, o;
    Deinterleave(block + kHalf + 2 * k, e, o);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(block + kQuarter + k), o);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 3 * kQuarter + k), e);
  }
  std::memcpy(block + kHalf, even, kQuarter);
}

#endif

}  // namespace

void SmdToPlainPortable(std::uint8_t* buffer, std::size_t blocks) {
  for (std::size_t n = 0; n < blocks; ++n) SmdBlockToPlainPortable(buffer + n * kSmdBlockSize);
}

void PlainToSmdPortable(std::uint8_t* buffer, std::size_t blocks) {
  for (std::size_t n = 0; n < blocks; ++n) PlainBlockToSmdPortable(buffer + n * kSmdBlockSize);
}

#if QL_SMD_SSE2

void SmdToPlain(std::uint8_t* buffer, std::size_t blocks) {
  if (!QL_SSE2_AVAILABLE()) return SmdToPlainPortable(buffer, blocks);
  for (std::size_t n = 0; n < blocks; ++n) SmdBlockToPlainSse2(buffer + n * kSmdBlockSize);
}

void PlainToSmd(std::uint8_t* buffer, std::size_t blocks) {
  if (!QL_SSE2_AVAILABLE()) return PlainToSmdPortable(buffer, blocks);
  for (std::size_t n = 0; n < blocks; ++n) PlainBlockToSmdSse2(buffer + n * kSmdBlockSize);
}

bool SmdInterleaveUsesSimd() { return QL_SSE2_AVAILABLE(); }

#else

void SmdToPlain(std::uint8_t* buffer, std::size_t blocks) { SmdToPlainPortable(buffer, blocks); }

void PlainToSmd(std::uint8_t* buffer, std::size_t blocks) { PlainToSmdPortable(buffer, blocks); }

bool SmdInterleaveUsesSimd() { return false; }

#endif

}  // namespace ql

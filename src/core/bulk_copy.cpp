#include "core/bulk_copy.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

void CopyPastCaches(void* to, const void* from, std::size_t count) {
#if defined(__SSE2__)
  auto* out = static_cast<std::uint8_t*>(to);
  const auto* in = static_cast<const std::uint8_t*>(from);
  // Streaming stores take aligned 16-byte units; the bytes before the first unit and after
  // the last are copied as usual.
  const auto misaligned = reinterpret_cast<std::uintptr_t>(out) % 16;
  std::size_t at = std::min(count, misaligned == 0 ? std::size_t{0} : 16 - misaligned);
  std::memcpy(out, in, at);
  for (; count - at >= 16; at += 16) {
    _mm_stream_si128(reinterpret_cast<__m128i*>(out + at),
                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + at)));
  }
  std::memcpy(out + at, in + at, count - at);
  // Streaming stores are not ordered with later ones until fenced.
  _mm_sfence();
#else
  std::memcpy(to, from, count);
#endif
}

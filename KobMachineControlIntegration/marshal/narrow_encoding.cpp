#include "narrow_encoding.h"

#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <tmmintrin.h>
#endif

namespace oxel::marshal::detail {
namespace {

constexpr char16_t kReplacementCharacter = 0xFFFD;
constexpr char kDefaultCharacter = '?';

bool is_high_surrogate(char32_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool is_low_surrogate(char32_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

// ---- UTF-16 to UTF-8 ------------------------------------------------------------------------
//
// One routine both measures (Write = false) and writes, so the two can never disagree.

// The length of the run of ASCII units that `in` starts with, copied to `out` as bytes when
// writing. Most texts are mostly ASCII, so this loop carries most of the work: eight units at a
// time, and where a block holds another character, its ASCII prefix at once.
template <bool Write>
std::size_t ascii_run(const char16_t* in, std::size_t size, char* out) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i non_ascii = _mm_set1_epi16(static_cast<short>(0xFF80));
  while (i + 8 <= size) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    const int ascii =
        _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, non_ascii), _mm_setzero_si128()));
    if (ascii == 0xFFFF) {
      if constexpr (Write) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(units, units));
      }
      i += 8;
      continue;
    }
    const auto prefix = static_cast<std::size_t>(__builtin_ctz(~ascii) / 2);
    if constexpr (Write) {
      for (std::size_t k = 0; k < prefix; ++k) out[i + k] = static_cast<char>(in[i + k]);
    }
    return i + prefix;
  }
#endif
  for (; i < size && in[i] < 0x80; ++i) {
    if constexpr (Write) out[i] = static_cast<char>(in[i]);
  }
  return i;
}

// Measures the UTF-8 bytes of the leading blocks of `in` that hold no surrogate: per unit one
// byte, one more from U+0080 and one more from U+0800. Returns the units measured.
std::size_t measure_without_surrogates(const char16_t* in, std::size_t size, std::size_t& bytes) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i ascii_bound = _mm_set1_epi16(0x7F);
  const __m128i two_byte_bound = _mm_set1_epi16(0x7FF);
  const __m128i surrogate_bits = _mm_set1_epi16(static_cast<short>(0xF800));
  const __m128i surrogate = _mm_set1_epi16(static_cast<short>(0xD800));
  const __m128i zero = _mm_setzero_si128();
  // Each lane counts how often its unit was within a bound (at most 2 a block). The lanes are
  // summed as signed 16-bit values, so before any could pass 32767. A block's bytes are 24 less
  // those counts.
  constexpr std::size_t kBlocksPerSum = 8192;
  while (i + 8 <= size) {
    __m128i within = zero;
    std::size_t blocks = 0;
    for (; blocks < kBlocksPerSum && i + 8 <= size; ++blocks, i += 8) {
      const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
      if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, surrogate_bits), surrogate))) {
        break;
      }
      // A lane is zero after a saturating subtraction when it is at or below the bound.
      within = _mm_sub_epi16(within, _mm_cmpeq_epi16(_mm_subs_epu16(units, ascii_bound), zero));
      within = _mm_sub_epi16(within, _mm_cmpeq_epi16(_mm_subs_epu16(units, two_byte_bound), zero));
    }
    const __m128i pairs = _mm_madd_epi16(within, _mm_set1_epi16(1));
    alignas(16) std::int32_t sums[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(sums), pairs);
    bytes += 24 * blocks - static_cast<std::size_t>(sums[0] + sums[1] + sums[2] + sums[3]);
    if (blocks < kBlocksPerSum) break;  // stopped at a surrogate or the end
  }
#endif
  return i;
}

#if defined(__x86_64__)
// Byte-shuffle tables for SSSE3 blocks of eight 16-bit lanes. For each mask of lanes, the
// shuffle that keeps the chosen bytes of each lane, in order, packed to the front (the rest
// zero), and how many bytes it keeps.
struct Compaction {
  std::uint8_t shuffle[256][16];
  std::uint8_t bytes[256];
};

// Keeps a lane's low byte when `low_always` or its bit is set, and its high byte when its bit
// is set.
constexpr Compaction MakeCompaction(bool low_always) {
  Compaction table{};
  for (unsigned mask = 0; mask < 256; ++mask) {
    std::uint8_t n = 0;
    for (std::uint8_t lane = 0; lane < 8; ++lane) {
      const bool chosen = (mask & (1u << lane)) != 0;
      if (low_always || chosen) table.shuffle[mask][n++] = static_cast<std::uint8_t>(2 * lane);
      if (chosen) table.shuffle[mask][n++] = static_cast<std::uint8_t>(2 * lane + 1);
    }
    table.bytes[mask] = n;
    while (n < 16) table.shuffle[mask][n++] = 0x80;  // zero
  }
  return table;
}

// Blocks of eight units below U+0800 (ASCII mixed with Latin, Greek, Cyrillic, Hebrew,
// Arabic...) are written with one byte shuffle instead of a branch per character: every lane's
// first byte, and the second of the lanes that need two.
alignas(16) constexpr Compaction kTwoByteCompaction = MakeCompaction(true);

// Decoded UTF-16 lanes, less those that held continuation bytes.
alignas(16) constexpr Compaction kLaneCompaction = MakeCompaction(false);

// Writes the leading blocks of `in` whose units are all below U+0800, while `room` bytes allow a
// full 16-byte store. Returns the units written; adds the bytes to `written`.
__attribute__((target("ssse3"))) std::size_t write_two_byte_blocks(const char16_t* in,
                                                                   std::size_t size, char* out,
                                                                   std::size_t room,
                                                                   std::size_t& written) {
  const __m128i zero = _mm_setzero_si128();
  std::size_t i = 0;
  std::size_t bytes = 0;
  while (i + 8 <= size && bytes + 16 <= room) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_subs_epu16(units, _mm_set1_epi16(0x7FF)), zero)) !=
        0xFFFF) {
      break;  // a unit of three bytes or a surrogate: the scalar path takes it
    }
    const __m128i ascii = _mm_cmpeq_epi16(_mm_subs_epu16(units, _mm_set1_epi16(0x7F)), zero);
    if (_mm_movemask_epi8(ascii) == 0xFFFF) {  // the common block: no shuffle needed
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out + bytes), _mm_packus_epi16(units, units));
      bytes += 8;
      i += 8;
      continue;
    }
    const __m128i lead = _mm_or_si128(_mm_srli_epi16(units, 6), _mm_set1_epi16(0xC0));
    const __m128i first = _mm_or_si128(_mm_and_si128(ascii, units), _mm_andnot_si128(ascii, lead));
    const __m128i second = _mm_slli_epi16(
        _mm_or_si128(_mm_and_si128(units, _mm_set1_epi16(0x3F)), _mm_set1_epi16(0x80)), 8);
    const auto two_bytes = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_packs_epi16(_mm_xor_si128(ascii, _mm_set1_epi16(-1)), zero)) & 0xFF);
    const __m128i control =
        _mm_load_si128(reinterpret_cast<const __m128i*>(kTwoByteCompaction.shuffle[two_bytes]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + bytes),
                     _mm_shuffle_epi8(_mm_or_si128(first, second), control));
    bytes += kTwoByteCompaction.bytes[two_bytes];
    i += 8;
  }
  written += bytes;
  return i;
}

bool has_ssse3() {
  // A fact of the processor, not converter state.
  static const bool available = __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("popcnt");
  return available;
}
#endif

// When writing, `capacity` bounds what may be written (at least the measure); measuring ignores it.
template <bool Write>
std::size_t utf16_to_utf8(std::u16string_view text, char* out, std::size_t capacity = 0) {
  const char16_t* in = text.data();
  const std::size_t size = text.size();
  std::size_t i = 0;
  std::size_t written = 0;
  while (i < size) {
    if constexpr (Write) {
      const std::size_t run = ascii_run<Write>(in + i, size - i, out + written);
      i += run;
      written += run;
#if defined(__x86_64__)
      if (i + 8 <= size && has_ssse3()) {
        i += write_two_byte_blocks(in + i, size - i, out + written, capacity - written, written);
      }
#endif
    } else {
      i += measure_without_surrogates(in + i, size - i, written);
    }
    if (i == size) break;
    char32_t code = in[i++];
    std::size_t length;
    if (code < 0x80) {
      length = 1;
    } else if (code < 0x800) {
      length = 2;
    } else if (is_high_surrogate(code) && i < size && is_low_surrogate(in[i])) {
      code = 0x10000 + ((code - 0xD800) << 10) + (in[i++] - 0xDC00);
      length = 4;
    } else {
      if (is_high_surrogate(code) || is_low_surrogate(code)) code = kReplacementCharacter;
      length = 3;
    }
    if constexpr (Write) {
      char* bytes = out + written;
      switch (length) {
        case 1:
          bytes[0] = static_cast<char>(code);
          break;
        case 2:
          bytes[0] = static_cast<char>(0xC0 | (code >> 6));
          bytes[1] = static_cast<char>(0x80 | (code & 0x3F));
          break;
        case 3:
          bytes[0] = static_cast<char>(0xE0 | (code >> 12));
          bytes[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
          bytes[2] = static_cast<char>(0x80 | (code & 0x3F));
          break;
        default:
          bytes[0] = static_cast<char>(0xF0 | (code >> 18));
          bytes[1] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
          bytes[2] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
          bytes[3] = static_cast<char>(0x80 | (code & 0x3F));
      }
    }
    written += length;
  }
  return written;
}

// ---- UTF-8 to UTF-16 ------------------------------------------------------------------------

// The length of the run of ASCII bytes that `in` starts with, widened into `out` when writing:
// sixteen bytes at a time, and where a block holds another byte, its ASCII prefix at once.
template <bool Write>
std::size_t ascii_run(const unsigned char* in, std::size_t size, char16_t* out) {
  std::size_t i = 0;
#if defined(__SSE2__)
  while (i + 16 <= size) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    const int non_ascii = _mm_movemask_epi8(bytes);
    if (non_ascii == 0) {
      if constexpr (Write) {
        const __m128i zero = _mm_setzero_si128();
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(bytes, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_unpackhi_epi8(bytes, zero));
      }
      i += 16;
      continue;
    }
    const auto prefix = static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(non_ascii)));
    if constexpr (Write) {
      for (std::size_t k = 0; k < prefix; ++k) out[i + k] = in[i + k];
    }
    return i + prefix;
  }
#endif
  for (; i < size && in[i] < 0x80; ++i) {
    if constexpr (Write) out[i] = in[i];
  }
  return i;
}

// Decodes the sequence at bytes[i], advancing i. An ill-formed sequence yields U+FFFD and is
// consumed up to its longest valid prefix (at least one byte), as Unicode recommends.
char32_t decode_utf8(const unsigned char* bytes, std::size_t size, std::size_t& i) {
  const unsigned char lead = bytes[i++];
  if (lead < 0x80) return lead;
  int continuation;
  char32_t code;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    continuation = 1;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    continuation = 2;
    code = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    continuation = 3;
    code = lead & 0x07;
    if (lead == 0xF0) low = 0x90;   // no overlong forms
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return kReplacementCharacter;
  }
  for (; continuation > 0; --continuation) {
    if (i == size || bytes[i] < low || bytes[i] > high) return kReplacementCharacter;
    code = (code << 6) | (bytes[i++] & 0x3F);
    low = 0x80;
    high = 0xBF;
  }
  return code;
}

#if defined(__x86_64__)
// Decodes the leading 16-byte blocks of `in` that hold only ASCII and whole two-byte sequences
// (a lead C2..DF and its continuation, both in the block); anything else is left to the scalar
// decoder, which validates it. Returns the bytes consumed and adds the units to `written`,
// writing them when `Write` while `room` units allow two full stores.
template <bool Write>
__attribute__((target("ssse3,popcnt"))) std::size_t decode_two_byte_blocks(const unsigned char* in,
                                                                           std::size_t size,
                                                                           char16_t* out,
                                                                           std::size_t room,
                                                                           std::size_t& written) {
  const __m128i zero = _mm_setzero_si128();
  std::size_t i = 0;
  std::size_t units = 0;
  while (i + 16 <= size && (!Write || units + 16 <= room)) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    // As signed bytes: continuations 80..BF are below C0; leads C2..DF lie between C1 and E0.
    const __m128i continuation = _mm_cmplt_epi8(bytes, _mm_set1_epi8(static_cast<char>(0xC0)));
    const __m128i lead =
        _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8(static_cast<char>(0xC1))),
                      _mm_cmplt_epi8(bytes, _mm_set1_epi8(static_cast<char>(0xE0))));
    const auto non_ascii = static_cast<unsigned>(_mm_movemask_epi8(bytes));
    const auto continuations = static_cast<unsigned>(_mm_movemask_epi8(continuation));
    const auto leads = static_cast<unsigned>(_mm_movemask_epi8(lead));
    // Every non-ASCII byte a lead or a continuation, each continuation right after a lead, and
    // no lead waiting for the next block.
    if ((continuations | leads) != non_ascii || ((leads << 1) & 0xFFFF) != continuations ||
        (leads & 0x8000)) {
      break;
    }
    if constexpr (Write) {
      const __m128i next = _mm_srli_si128(bytes, 1);  // each position sees the byte after it
      const __m128i halves[2][3] = {{_mm_unpacklo_epi8(bytes, zero), _mm_unpacklo_epi8(next, zero),
                                     _mm_unpacklo_epi8(lead, lead)},
                                    {_mm_unpackhi_epi8(bytes, zero), _mm_unpackhi_epi8(next, zero),
                                     _mm_unpackhi_epi8(lead, lead)}};
      for (int half = 0; half < 2; ++half) {
        const auto& [units_here, following, is_lead] = halves[half];
        const __m128i two_byte =
            _mm_or_si128(_mm_slli_epi16(_mm_and_si128(units_here, _mm_set1_epi16(0x1F)), 6),
                         _mm_and_si128(following, _mm_set1_epi16(0x3F)));
        const __m128i decoded =
            _mm_or_si128(_mm_and_si128(is_lead, two_byte), _mm_andnot_si128(is_lead, units_here));
        const unsigned keep = ~(continuations >> (8 * half)) & 0xFF;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + units),
                         _mm_shuffle_epi8(decoded, _mm_load_si128(reinterpret_cast<const __m128i*>(
                                                       kLaneCompaction.shuffle[keep]))));
        units += kLaneCompaction.bytes[keep] / 2u;
      }
    } else {
      units += 16 - static_cast<std::size_t>(__builtin_popcount(continuations));
    }
    i += 16;
  }
  written += units;
  return i;
}
#endif

// When writing, `capacity` bounds what may be written (at least the measure); measuring ignores it.
template <bool Write>
std::size_t utf8_to_utf16(std::string_view text, char16_t* out, std::size_t capacity = 0) {
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::size_t i = 0;
  std::size_t written = 0;
  while (i < size) {
    const std::size_t run = ascii_run<Write>(in + i, size - i, Write ? out + written : nullptr);
    i += run;
    written += run;
#if defined(__x86_64__)
    if (i + 16 <= size && has_ssse3()) {
      i += decode_two_byte_blocks<Write>(in + i, size - i, Write ? out + written : nullptr,
                                         capacity - written, written);
    }
#endif
    if (i == size) break;
    const char32_t code = decode_utf8(in, size, i);
    if (code < 0x10000) {
      if constexpr (Write) out[written] = static_cast<char16_t>(code);
      written += 1;
    } else {
      if constexpr (Write) {
        out[written] = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
        out[written + 1] = static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
      }
      written += 2;
    }
  }
  return written;
}

// ---- Other codesets, through iconv -----------------------------------------------------------

constexpr const char* kUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

// One iconv descriptor for the length of one conversion.
class iconv_session {
 public:
  iconv_session(const char* to, const char* from) : descriptor_(iconv_open(to, from)) {
    if (descriptor_ == reinterpret_cast<iconv_t>(-1)) {
      if (errno == ENOMEM) throw std::bad_alloc();
      descriptor_ = nullptr;
    }
  }
  iconv_session(const iconv_session&) = delete;
  iconv_session& operator=(const iconv_session&) = delete;
  ~iconv_session() {
    if (descriptor_) iconv_close(descriptor_);
  }
  explicit operator bool() const { return descriptor_ != nullptr; }

  // Converts all of `input`, handing the output to `sink(const char*, size)` in pieces. Where the
  // input cannot be converted, `on_invalid(remaining_input)` tells how many input bytes to skip
  // and gives the bytes to emit instead. Returns false if iconv fails in any other way.
  template <class Sink, class OnInvalid>
  bool run(const char* input, std::size_t input_size, Sink&& sink, OnInvalid&& on_invalid) {
    // iconv is fed a window of the input at a time: glibc re-converts the pending input of a
    // multi-step conversion after each invalid character, which over the whole input would cost
    // quadratic time in texts with many of them.
    constexpr std::size_t kWindow = 4096;
    char buffer[4096];
    char* in = const_cast<char*>(input);
    char* const end = in + input_size;
    std::size_t window = kWindow;
    for (;;) {
      // With the input done, one more call emits any shift sequence that ends the output.
      const bool flushing = in == end;
      char* out = buffer;
      std::size_t out_left = sizeof buffer;
      std::size_t in_left = std::min(static_cast<std::size_t>(end - in), window);
      const bool last_window = in + in_left == end;
      const std::size_t result = flushing ? iconv(descriptor_, nullptr, nullptr, &out, &out_left)
                                          : iconv(descriptor_, &in, &in_left, &out, &out_left);
      const int error = errno;
      if (out != buffer) sink(buffer, static_cast<std::size_t>(out - buffer));
      if (result != static_cast<std::size_t>(-1)) {
        if (flushing) return true;
        window = kWindow;
        continue;
      }
      if (error == E2BIG) continue;
      if (error == EINVAL && !last_window) {
        window += 16;  // a sequence cut by the window's edge, not by the input's end
        continue;
      }
      if (error != EILSEQ && error != EINVAL) return false;
      const auto replacement = on_invalid(std::string_view(in, static_cast<std::size_t>(end - in)));
      sink(replacement.bytes.data(), replacement.bytes.size());
      in += replacement.skip;
      window = kWindow;
    }
  }

 private:
  iconv_t descriptor_;
};

struct replacement {
  std::size_t skip;
  std::string_view bytes;
};

// A unit the codeset cannot take: one '?' for one character (a surrogate pair is one character).
replacement unrepresentable_character(std::string_view rest) {
  static constexpr char kDefault[] = {kDefaultCharacter};
  char16_t unit;
  std::memcpy(&unit, rest.data(), sizeof unit);
  std::size_t skip = sizeof(char16_t);
  if (is_high_surrogate(unit) && rest.size() >= 2 * sizeof(char16_t)) {
    char16_t next;
    std::memcpy(&next, rest.data() + sizeof unit, sizeof next);
    if (is_low_surrogate(next)) skip *= 2;
  }
  return {std::min(skip, rest.size()), std::string_view(kDefault, 1)};
}

// A byte the codeset does not define, or a sequence cut short: U+FFFD for one byte.
replacement invalid_byte(std::string_view) {
  static const char16_t kReplacement[] = {kReplacementCharacter};
  return {1, std::string_view(reinterpret_cast<const char*>(kReplacement), sizeof kReplacement)};
}

// Measures (out == nullptr) or writes through iconv; returns the bytes produced, or
// std::size_t(-1) on failure.
template <class OnInvalid>
std::size_t convert_with_iconv(const char* to, const char* from, std::string_view input, char* out,
                               std::size_t capacity, OnInvalid on_invalid) {
  iconv_session session(to, from);
  if (!session) return static_cast<std::size_t>(-1);
  std::size_t produced = 0;
  bool overflow = false;
  const bool ok = session.run(
      input.data(), input.size(),
      [&](const char* bytes, std::size_t size) {
        if (out != nullptr) {
          if (size > capacity - produced) {
            overflow = true;
            return;
          }
          std::memcpy(out + produced, bytes, size);
        }
        produced += size;
      },
      on_invalid);
  return ok && !overflow ? produced : static_cast<std::size_t>(-1);
}

std::string_view as_bytes(std::u16string_view text) {
  return {reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t)};
}

bool is_ascii_codeset(const char* codeset) {
  return std::strcmp(codeset, "ANSI_X3.4-1968") == 0 || std::strcmp(codeset, "US-ASCII") == 0 ||
         std::strcmp(codeset, "ASCII") == 0;
}

// Characters every codeset the C library takes for a locale encodes as ASCII does: the
// portable character set (printable ASCII, space, NUL, BEL, BS and the white-space controls).
// Backslash and tilde are left out: JIS-Roman codesets give those bytes other characters. A text
// made only of these converts in any locale without a converter.
constexpr bool is_portable(unsigned c) {
  return (c >= 0x20 && c <= 0x7D && c != 0x5C) || c == 0 || (c >= 0x07 && c <= 0x0D);
}

template <class Char>
bool all_portable(std::basic_string_view<Char> text) {
  for (const Char c : text) {
    if (!is_portable(static_cast<std::make_unsigned_t<Char>>(c))) return false;
  }
  return true;
}

}  // namespace

narrow_encoding narrow_encoding::of_calling_thread() {
  // glibc answers nl_langinfo from the calling thread's locale (uselocale), else the global one.
  const char* codeset = nl_langinfo(CODESET);
  if (codeset == nullptr || *codeset == '\0' || std::strcmp(codeset, "UTF-8") == 0 ||
      is_ascii_codeset(codeset)) {
    return utf8();
  }
  return named(codeset);
}

std::size_t narrow_encoding::narrow_size(std::u16string_view text) const {
  if (is_utf8()) return utf16_to_utf8<false>(text, nullptr);
  if (all_portable(text)) return text.size();
  const std::size_t size =
      convert_with_iconv(codeset_, kUtf16, as_bytes(text), nullptr, 0, unrepresentable_character);
  return size == static_cast<std::size_t>(-1) ? 0 : size;
}

std::size_t narrow_encoding::to_narrow(std::u16string_view text, char* out,
                                       std::size_t capacity) const {
  if (is_utf8()) return utf16_to_utf8<true>(text, out, capacity);
  if (all_portable(text)) {
    for (std::size_t i = 0; i < text.size(); ++i) out[i] = static_cast<char>(text[i]);
    return text.size();
  }
  const std::size_t size = convert_with_iconv(codeset_, kUtf16, as_bytes(text), out, capacity,
                                              unrepresentable_character);
  return size == static_cast<std::size_t>(-1) ? 0 : size;
}

std::size_t narrow_encoding::wide_size(std::string_view text) const {
  if (is_utf8()) return utf8_to_utf16<false>(text, nullptr);
  if (all_portable(text)) return text.size();
  const std::size_t size = convert_with_iconv(kUtf16, codeset_, text, nullptr, 0, invalid_byte);
  return size == static_cast<std::size_t>(-1) ? 0 : size / sizeof(char16_t);
}

std::size_t narrow_encoding::to_wide(std::string_view text, char16_t* out,
                                     std::size_t capacity) const {
  if (is_utf8()) return utf8_to_utf16<true>(text, out, capacity);
  if (all_portable(text)) {
    for (std::size_t i = 0; i < text.size(); ++i) out[i] = static_cast<unsigned char>(text[i]);
    return text.size();
  }
  const std::size_t size = convert_with_iconv(kUtf16, codeset_, text, reinterpret_cast<char*>(out),
                                              capacity * sizeof(char16_t), invalid_byte);
  return size == static_cast<std::size_t>(-1) ? 0 : size / sizeof(char16_t);
}

std::string to_utf8(std::u16string_view text) {
  std::string result(utf16_to_utf8<false>(text, nullptr), '\0');
  utf16_to_utf8<true>(text, result.data(), result.size());
  return result;
}

std::u16string from_utf8(std::string_view text) {
  std::u16string result(utf8_to_utf16<false>(text, nullptr), u'\0');
  utf8_to_utf16<true>(text, result.data(), result.size());
  return result;
}

}  // namespace oxel::marshal::detail

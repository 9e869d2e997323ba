#pragma once
// The narrow encoding of the calling thread: the LC_CTYPE codeset of its current locale.
//
// UTF-8 (and the plain C/POSIX locale, whose ASCII codeset is read as UTF-8 so that a host that
// never called setlocale keeps its non-ASCII text) goes through our own transcoder. Any other
// codeset goes through iconv without transliteration. Nothing is kept between calls.
//
// Replacements: a character the codeset cannot represent becomes '?'; ill-formed UTF-16 (a lone
// surrogate) becomes U+FFFD in UTF-8 and '?' elsewhere; bytes that are invalid in the codeset
// become U+FFFD, one per maximal ill-formed subsequence.

#include <cstddef>
#include <string>
#include <string_view>

namespace oxel::marshal::detail {

class narrow_encoding {
 public:
  // Resolved from the calling thread's locale at the moment of the call.
  static narrow_encoding of_calling_thread();
  static narrow_encoding utf8() { return narrow_encoding(nullptr); }
  static narrow_encoding named(const char* codeset) { return narrow_encoding(codeset); }

  bool is_utf8() const { return codeset_ == nullptr; }

  // Bytes needed for `text`.
  std::size_t narrow_size(std::u16string_view text) const;
  // Writes `text` into `out`, which has room for at least narrow_size(text) bytes; returns the
  // bytes written, or 0 on failure.
  std::size_t to_narrow(std::u16string_view text, char* out, std::size_t capacity) const;

  // UTF-16 code units needed for `text`.
  std::size_t wide_size(std::string_view text) const;
  // Writes `text` into `out`, which has room for at least wide_size(text) units; returns the
  // units written, or 0 on failure.
  std::size_t to_wide(std::string_view text, char16_t* out, std::size_t capacity) const;

 private:
  explicit narrow_encoding(const char* codeset) : codeset_(codeset) {}
  const char* codeset_;  // null for UTF-8; otherwise an iconv codeset name
};

// UTF-8, whatever the thread's locale: for texts whose encoding is fixed (JSON, file names).
std::string to_utf8(std::u16string_view text);
std::u16string from_utf8(std::string_view text);

// The text conversion rules over views (size limits, exact measure, failure checks), in the
// calling thread's encoding; the text specialisations of marshal_traits call these.
std::string to_narrow(std::u16string_view text);
std::u16string to_wide(std::string_view text);

}  // namespace oxel::marshal::detail

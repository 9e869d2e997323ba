// Text conversions: exact measure first, then one conversion straight into the result's buffer.

#include <climits>
#include <cstddef>

#include "marshal.h"
#include "narrow_encoding.h"

namespace oxel::marshal {
namespace {

constexpr const char* kNullText = "NULLPTR is not supported for this conversion.";
constexpr const char* kSizeExceedsIntMax = "Size of string exceeds INT_MAX.";
constexpr const char* kToNarrowFailed =
    "Conversion from WideChar to MultiByte failed.  Please check the content of the string "
    "and/or locale settings.";
constexpr const char* kToWideFailed =
    "Conversion from MultiByte to WideChar failed.  Please check the content of the string "
    "and/or locale settings.";

// Texts up to this many units (or bytes) convert in one pass into a stack buffer that holds any
// result; what the pass writes is the exact measure, and the result is built at that size.
constexpr std::size_t kShortText = 64;

// Sizes cross the conversion as int on the original platform; larger ones are refused.
void require_int_size(std::size_t size) {
  if (size > static_cast<std::size_t>(INT_MAX)) throw out_of_range_error(kSizeExceedsIntMax);
}

}  // namespace

namespace detail {

std::string to_narrow(std::u16string_view text) {
  require_int_size(text.size());
  const auto encoding = narrow_encoding::of_calling_thread();
  if (encoding.is_utf8() && text.size() <= kShortText) {
    char buffer[3 * kShortText];  // UTF-8 needs at most 3 bytes a unit
    return std::string(buffer, encoding.to_narrow(text, buffer, sizeof buffer));
  }
  const std::size_t measure = encoding.narrow_size(text);
  if (measure == 0) {
    if (!text.empty()) throw argument_error(kToNarrowFailed);
    return {};
  }
  require_int_size(measure + 1);
  std::string result(measure, '\0');
  // The string's buffer holds measure + 1 bytes: room for the terminator too.
  if (encoding.to_narrow(text, result.data(), measure + 1) != measure) {
    throw argument_error(kToNarrowFailed);
  }
  return result;
}

std::u16string to_wide(std::string_view text) {
  require_int_size(text.size());
  const auto encoding = narrow_encoding::of_calling_thread();
  if (encoding.is_utf8() && text.size() <= kShortText) {
    char16_t buffer[kShortText];  // UTF-8 gives at most one unit a byte
    return std::u16string(buffer, encoding.to_wide(text, buffer, kShortText));
  }
  const std::size_t measure = encoding.wide_size(text);
  if (measure == 0) {
    if (!text.empty()) throw argument_error(kToWideFailed);
    return {};
  }
  require_int_size(measure + 1);
  std::u16string result(measure, u'\0');
  if (encoding.to_wide(text, result.data(), measure + 1) != measure) {
    throw argument_error(kToWideFailed);
  }
  return result;
}

}  // namespace detail

std::string marshal_traits<std::string, Text>::marshal(const Text& from) {
  if (!from) throw null_argument_error(kNullText);
  return detail::to_narrow(*from);
}

Text marshal_traits<Text, std::string>::marshal(const std::string& from) {
  return detail::to_wide(from);
}

}  // namespace oxel::marshal

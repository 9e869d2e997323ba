// Text conversions both ways, under a UTF-8 and a CP1252 thread locale. The first byte picks the
// direction and the locale; the rest is the text. Checks: no crash, lengths and embedded NULs
// exact, representable text survives the round trip.

#include <KobMachineControlIntegration/marshal/marshal.h>
#include <locale.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using KobMachineControl::Text;
using oxel::marshal::marshal_as;

locale_t Locale(const char* name) {
  locale_t locale = newlocale(LC_ALL_MASK, name, nullptr);
  if (!locale) {
    std::fprintf(stderr, "locale %s is missing (is LOCPATH set?)\n", name);
    std::abort();
  }
  return locale;
}

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "violated: %s\n", what);
    std::abort();
  }
}

bool WellFormedUtf16(const std::u16string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

template <class String>
std::size_t Count(const String& text, typename String::value_type c) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), c));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const locale_t utf8 = Locale("en_US.UTF-8");
  static const locale_t cp1252 = Locale("de_DE.CP1252");
  if (size == 0) return 0;
  const bool single_byte = data[0] & 1;
  const bool from_service = data[0] & 2;
  const locale_t previous = uselocale(single_byte ? cp1252 : utf8);
  const auto* bytes = reinterpret_cast<const char*>(data + 1);
  const std::size_t length = size - 1;

  if (from_service) {
    std::u16string wide(length / 2, u'\0');
    std::memcpy(wide.data(), bytes, wide.size() * sizeof(char16_t));
    const std::string narrow = marshal_as<std::string>(Text(wide));
    Require(Count(narrow, '\0') == Count(wide, u'\0'), "NULs kept, to narrow");
    // Representable: nothing was replaced by the default character or U+FFFD.
    const bool representable =
        single_byte ? Count(narrow, '?') == Count(wide, u'?') : WellFormedUtf16(wide);
    if (representable) Require(marshal_as<Text>(narrow) == Text(wide), "round trip from UTF-16");
  } else {
    const std::string narrow(bytes, length);
    const Text wide = marshal_as<Text>(narrow);
    Require(Count(*wide, u'\0') == Count(narrow, '\0'), "NULs kept, to UTF-16");
    if (Count(*wide, u'\uFFFD') == 0) {
      Require(marshal_as<std::string>(wide) == narrow, "round trip from narrow");
    }
  }
  uselocale(previous);
  return 0;
}

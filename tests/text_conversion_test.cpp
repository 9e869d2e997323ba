// Text conversions in both directions, under the encodings a host thread may be in.

#include <KobMachineControlIntegration/marshal/marshal.h>
#include <KobMachineControlIntegration/marshal/narrow_encoding.h>
#include <iconv.h>

#include <atomic>
#include <climits>
#include <random>
#include <thread>

#include "test_support.h"

namespace {

using namespace std::string_literals;
using KobMachineControl::Text;
using kobmc_test::ThreadLocale;
using oxel::marshal::argument_error;
using oxel::marshal::marshal_as;
using oxel::marshal::null_argument_error;
using oxel::marshal::out_of_range_error;

struct RoundTrip {
  const char* locale;
  std::u16string service;
  std::string native;
};

class TextRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(TextRoundTrip, ConvertsBothWaysExactly) {
  const auto& c = GetParam();
  ThreadLocale locale(c.locale);
  EXPECT_EQ(marshal_as<std::string>(Text(c.service)), c.native);
  EXPECT_EQ(marshal_as<Text>(c.native), Text(c.service));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextRoundTrip,
    ::testing::Values(RoundTrip{"en_US.UTF-8", u"", ""}, RoundTrip{"en_US.UTF-8", u"abc", "abc"},
                      RoundTrip{"en_US.UTF-8", u"a\0b"s, "a\0b"s},
                      RoundTrip{"en_US.UTF-8", u"Maßstab Grüße",
                                "Ma\xC3\x9F"
                                "stab Gr\xC3\xBC\xC3\x9F"
                                "e"},
                      RoundTrip{"en_US.UTF-8", u"測量 ok", "\xE6\xB8\xAC\xE9\x87\x8F ok"},
                      RoundTrip{"en_US.UTF-8", u"\U0001F600", "\xF0\x9F\x98\x80"},
                      // The plain C locale is read as UTF-8, so non-ASCII text survives there too.
                      RoundTrip{"C", u"Grüße\0!"s,
                                "Gr\xC3\xBC\xC3\x9F"
                                "e\0!"s},
                      RoundTrip{"de_DE.CP1252", u"", ""},
                      RoundTrip{"de_DE.CP1252", u"Grüße € \0x"s,
                                "Gr\xFC\xDF"
                                "e \x80 \0x"s}));

struct OneWay {
  const char* locale;
  std::u16string service;
  std::string native;
};

class ServiceToNative : public ::testing::TestWithParam<OneWay> {};

TEST_P(ServiceToNative, ReplacesWhatCannotBeRepresented) {
  const auto& c = GetParam();
  ThreadLocale locale(c.locale);
  EXPECT_EQ(marshal_as<std::string>(Text(c.service)), c.native);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ServiceToNative,
    ::testing::Values(
        // Outside the codeset: the default character, one per character (a pair is one).
        OneWay{"de_DE.CP1252", u"日本", "??"}, OneWay{"de_DE.CP1252", u"a\U0001F600b", "a?b"},
        // No best fit: a character with a look-alike in the codeset is still replaced.
        OneWay{"de_DE.CP1252", u"\u0100", "?"},
        // Lone surrogates.
        OneWay{"de_DE.CP1252",
               u"a\xD800"
               "b",
               "a?b"},
        OneWay{"en_US.UTF-8",
               u"a\xD800"
               "b",
               "a\xEF\xBF\xBD"
               "b"},
        OneWay{"en_US.UTF-8", u"\xDC00", "\xEF\xBF\xBD"},
        OneWay{"en_US.UTF-8", u"x\xD83D", "x\xEF\xBF\xBD"}));

class NativeToService : public ::testing::TestWithParam<OneWay> {};

TEST_P(NativeToService, ReplacesIllFormedBytes) {
  const auto& c = GetParam();
  ThreadLocale locale(c.locale);
  EXPECT_EQ(marshal_as<Text>(c.native), Text(c.service));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NativeToService,
    ::testing::Values(OneWay{"en_US.UTF-8", u"a\uFFFDb",
                             "a\xFF"
                             "b"},
                      // A sequence cut short is one replacement, whatever its length.
                      OneWay{"en_US.UTF-8", u"\uFFFD!", "\xE2\x82!"},
                      OneWay{"en_US.UTF-8", u"\uFFFD", "\xF0\x9F\x98"},
                      // Overlong forms and encoded surrogates are refused byte by byte.
                      OneWay{"en_US.UTF-8", u"\uFFFD\uFFFD", "\xC0\x80"},
                      OneWay{"en_US.UTF-8", u"\uFFFD\uFFFD\uFFFD", "\xED\xA0\x80"},
                      OneWay{"en_US.UTF-8", u"\uFFFD\uFFFD\uFFFD\uFFFD", "\xF4\x90\x80\x80"},
                      // A byte the codeset leaves undefined.
                      OneWay{"de_DE.CP1252", u"a\uFFFDb",
                             "a\x81"
                             "b"}));

TEST(TextConversion, NullServiceTextIsAnErrorNotAnEmptyString) {
  try {
    (void)marshal_as<std::string>(Text());
    FAIL() << "no error raised";
  } catch (const null_argument_error& error) {
    EXPECT_EQ(error.param_name(), "NULLPTR is not supported for this conversion.");
  }
}

TEST(TextConversion, SizesAboveIntMaxAreRefusedBeforeAnythingIsRead) {
  // The views claim more than they hold; the size check must come before any access.
  const std::size_t too_long = static_cast<std::size_t>(INT_MAX) + 1;
  const char16_t wide[1] = {u'x'};
  const char narrow[1] = {'x'};
  for (auto convert : {+[](std::size_t n, const char16_t*w, const char*) {
                         (void)oxel::marshal::detail::to_narrow(std::u16string_view(w, n));
                       },
                       +[](std::size_t n, const char16_t*, const char*c) {
                         (void)oxel::marshal::detail::to_wide(std::string_view(c, n));
                       }}) {
    try {
      convert(too_long, wide, narrow);
      FAIL() << "no error raised";
    } catch (const out_of_range_error& error) {
      EXPECT_EQ(error.param_name(), "Size of string exceeds INT_MAX.");
    }
  }
}

TEST(TextConversion, UnconvertibleCodesetFailsWithTheConversionMessage) {
  ThreadLocale locale(kobmc_test::kUnconvertibleLocale);
  const auto message_of = [](auto convert) -> std::string {
    try {
      convert();
    } catch (const null_argument_error&) {
      return "wrong kind: null argument";
    } catch (const out_of_range_error&) {
      return "wrong kind: out of range";
    } catch (const argument_error& error) {
      return error.what();
    }
    return "no error raised";
  };
  // A tilde needs the converter: it is outside the characters every codeset shares.
  EXPECT_EQ(message_of([] { (void)marshal_as<std::string>(Text(u"a~c")); }),
            "Conversion from WideChar to MultiByte failed.  Please check the content of the "
            "string and/or locale settings.");
  EXPECT_EQ(message_of([] { (void)marshal_as<Text>(std::string("a~c")); }),
            "Conversion from MultiByte to WideChar failed.  Please check the content of the "
            "string and/or locale settings.");
  // Empty texts, and texts of the characters every codeset encodes alike, need no converter.
  EXPECT_EQ(marshal_as<std::string>(Text(u"")), "");
  EXPECT_EQ(marshal_as<Text>(std::string()), Text(u""));
  EXPECT_EQ(marshal_as<std::string>(Text(u"id-42 OK\t")), "id-42 OK\t");
  EXPECT_EQ(marshal_as<Text>(std::string("id-42 OK\t")), Text(u"id-42 OK\t"));
}

// Our UTF-8 transcoder must agree with glibc's iconv on every well-formed text, across the
// lengths where its ASCII fast path starts and stops.
std::u16string random_text(std::mt19937& random, std::size_t length) {
  static constexpr char32_t kPool[] = {U'a',      U'Z',      U'0',      U' ',         U'\0',
                                       U'é',      U'ß',      U'€',      U'測',        U'\U0001F600',
                                       U'\u07FF', U'\u0800', U'\uFFFD', U'\U0010FFFF'};
  std::u16string text;
  std::uniform_int_distribution<std::size_t> pick(0, std::size(kPool) - 1);
  std::bernoulli_distribution ascii(0.7);
  while (text.size() < length) {
    const char32_t code =
        ascii(random) ? static_cast<char32_t>(U'a' + random() % 26) : kPool[pick(random)];
    if (code >= 0x10000) {
      text.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
      text.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else {
      text.push_back(static_cast<char16_t>(code));
    }
  }
  return text;
}

std::string iconv_utf8(const std::u16string& text) {
  iconv_t descriptor = iconv_open("UTF-8", "UTF-16LE");
  std::string out(text.size() * 4, '\0');
  char* in = reinterpret_cast<char*>(const_cast<char16_t*>(text.data()));
  std::size_t in_left = text.size() * 2;
  char* out_ptr = out.data();
  std::size_t out_left = out.size();
  iconv(descriptor, &in, &in_left, &out_ptr, &out_left);
  iconv_close(descriptor);
  out.resize(out.size() - out_left);
  return out;
}

TEST(TextConversion, Utf8AgreesWithIconvAtEveryLength) {
  ThreadLocale locale(kobmc_test::kUtf8Locale);
  std::mt19937 random(20261211);
  for (std::size_t length = 0; length < 200; ++length) {
    for (int round = 0; round < 5; ++round) {
      const std::u16string text = random_text(random, length);
      const std::string expected = iconv_utf8(text);
      ASSERT_EQ(marshal_as<std::string>(Text(text)), expected) << "length " << length;
      ASSERT_EQ(marshal_as<Text>(expected), Text(text)) << "length " << length;
    }
  }
}

TEST(TextConversion, LongTextsConvertExactlyAcrossBlockAndChunkEdges) {
  // The vector paths count in blocks and sum in chunks; texts well past a chunk must still come
  // out exactly as iconv has them.
  ThreadLocale locale(kobmc_test::kUtf8Locale);
  for (const std::size_t length : {65536u, 65543u, 131072u, 262151u, 600000u}) {
    std::u16string text(length, u'a');
    for (std::size_t i = 997; i < length; i += 4099) text[i] = u'\u00e9';  // sparse accents
    const std::string expected = iconv_utf8(text);
    ASSERT_EQ(marshal_as<std::string>(Text(text)), expected) << "length " << length;
    ASSERT_EQ(marshal_as<Text>(expected), Text(text)) << "length " << length;
    const std::u16string ascii(length, u'z');
    ASSERT_EQ(marshal_as<std::string>(Text(ascii)), std::string(length, 'z'))
        << "length " << length;
  }
}

TEST(TextConversion, IllFormedBytesAnywhereInABlockAreReplacedAlike) {
  // Blocks of ASCII and two-byte sequences are decoded sixteen bytes at a time; whatever else
  // stands at any offset of a block, or a sequence split by a block's edge, must come out as the
  // byte-by-byte decoder has it.
  ThreadLocale locale(kobmc_test::kUtf8Locale);
  const struct {
    std::string bytes;
    std::u16string decoded;
  } inserts[] = {
      {"\xC3\xA9", u"\u00e9"},              // a valid two-byte sequence
      {"\x80", u"\uFFFD"},                  // a stray continuation
      {"\xC3", u"\uFFFD"},                  // a lead without its continuation
      {"\xC0\x80", u"\uFFFD\uFFFD"},        // an overlong form
      {"\xE6\xB8\xAC", u"\u6E2C"},          // three bytes
      {"\xF0\x9F\x98\x80", u"\U0001F600"},  // four bytes
  };
  for (const auto& insert : inserts) {
    for (std::size_t at = 0; at < 40; ++at) {
      const std::string narrow =
          std::string(at, 'a') + "\xC2\xB5" + insert.bytes + std::string(40, 'b');
      const std::u16string expected =
          std::u16string(at, u'a') + u"\u00b5" + insert.decoded + std::u16string(40, u'b');
      ASSERT_EQ(marshal_as<Text>(narrow), Text(expected)) << "at " << at;
    }
  }
}

TEST(TextConversion, EachThreadUsesItsOwnLocale) {
  const Text text(u"Grüße");
  std::atomic<int> ready = 0;
  std::atomic<int> mismatches = 0;
  auto convert_under = [&](const char* name, const std::string expected) {
    ThreadLocale locale(name);
    ++ready;
    while (ready < 2) std::this_thread::yield();
    for (int i = 0; i < 20000; ++i) {
      if (marshal_as<std::string>(text) != expected || marshal_as<Text>(expected) != text) {
        ++mismatches;
      }
    }
  };
  std::thread utf8(convert_under, kobmc_test::kUtf8Locale,
                   "Gr\xC3\xBC\xC3\x9F"
                   "e");
  std::thread cp1252(convert_under, kobmc_test::kCp1252Locale,
                     "Gr\xFC\xDF"
                     "e");
  utf8.join();
  cp1252.join();
  EXPECT_EQ(mismatches, 0);
}

}  // namespace

// Text conversion in both directions, beside memcpy of the same bytes (the limit), glibc iconv
// doing the same conversion (what a host would otherwise call) and std::string construction from
// ready bytes (the allocation floor for short texts).

#include <KobMachineControlIntegration/marshal/marshal.h>
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <bit>
#include <cstring>
#include <random>

#include "bench_support.h"

namespace {

using KobMachineControl::Text;
using oxel::marshal::marshal_as;

constexpr const char* kUtf8 = "en_US.UTF-8";
constexpr const char* kCp1252 = "de_DE.CP1252";
constexpr const char* kUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

// An ASCII identifier of `length` characters.
std::u16string Identifier(std::size_t length) {
  std::u16string text;
  for (std::size_t i = 0; i < length; ++i) {
    text.push_back(static_cast<char16_t>(i % 3 == 2 ? u'-' : u'a' + i % 26));
  }
  return text;
}

// About 1 MiB of mostly ASCII text: technical words, about one in ten with a Latin accent and one
// in forty in CJK, as in the descriptions and labels a service hands out.
std::u16string LongMixedText() {
  static const std::u16string ascii[] = {u"surface", u"layer",   u"grader", u"model",  u"terrain",
                                         u"design",  u"road",    u"ditch",  u"export", u"rule",
                                         u"machine", u"control", u"planum", u"offset", u"station",
                                         u"profile", u"slope",   u"bench",  u"volume", u"survey"};
  static const std::u16string accented[] = {u"Straße", u"Böschung", u"élévation", u"Höhe"};
  static const std::u16string cjk[] = {u"測量", u"設計面"};
  std::mt19937 random(7);
  std::uniform_int_distribution<int> percent(0, 99);
  std::u16string text;
  while (text.size() < (1u << 19)) {  // 512 Ki units: 1 MiB of UTF-16
    const int p = percent(random);
    text += p < 2    ? cjk[random() % std::size(cjk)]
            : p < 12 ? accented[random() % std::size(accented)]
                     : ascii[random() % std::size(ascii)];
    text += u' ';
  }
  return text;
}

const std::u16string& Sample(int which) {
  static const std::u16string samples[] = {Identifier(8), Identifier(24), Identifier(40),
                                           LongMixedText()};
  return samples[which];
}
const char* kSampleNames[] = {"id8", "id24", "id40", "long"};

// The same text in the locale's narrow encoding.
std::string NarrowSample(int which, const char* locale) {
  kobmc_bench::ThreadLocale scope(locale);
  return marshal_as<std::string>(Text(Sample(which)));
}

void SetBytes(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void ToNarrow(benchmark::State& state, const char* locale, int which) {
  kobmc_bench::ThreadLocale scope(locale);
  const Text text(Sample(which));
  for (auto _ : state) benchmark::DoNotOptimize(marshal_as<std::string>(text));
  SetBytes(state, text->size() * sizeof(char16_t));
}

void ToWide(benchmark::State& state, const char* locale, int which) {
  const std::string text = NarrowSample(which, locale);
  kobmc_bench::ThreadLocale scope(locale);
  for (auto _ : state) benchmark::DoNotOptimize(marshal_as<Text>(text));
  SetBytes(state, text.size());
}

// iconv with one descriptor for the whole run: its best case. Output buffers are sized as the
// bridge sizes them, so only the conversion differs. Where the codeset lacks a character, the
// same replacement as the bridge's: skip it and write `replacement`.
void Iconv(benchmark::State& state, const char* to, const char* from, std::string_view input,
           std::size_t output_size, std::string_view replacement, std::size_t unit) {
  iconv_t descriptor = iconv_open(to, from);
  std::string output(output_size + 16, '\0');
  for (auto _ : state) {
    char* in = const_cast<char*>(input.data());
    std::size_t in_left = input.size();
    char* out = output.data();
    std::size_t out_left = output.size();
    while (iconv(descriptor, &in, &in_left, &out, &out_left) == static_cast<std::size_t>(-1) &&
           in_left >= unit && out_left >= replacement.size()) {
      std::memcpy(out, replacement.data(), replacement.size());
      out += replacement.size();
      out_left -= replacement.size();
      in += unit;
      in_left -= unit;
    }
    benchmark::DoNotOptimize(out);
  }
  iconv_close(descriptor);
  SetBytes(state, input.size());
}

void IconvToNarrow(benchmark::State& state, const char* locale, int which) {
  const std::u16string& text = Sample(which);
  const char* codeset = std::strcmp(locale, kUtf8) == 0 ? "UTF-8" : "CP1252";
  Iconv(state, codeset, kUtf16,
        {reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t)},
        NarrowSample(which, locale).size(), "?", sizeof(char16_t));
}

void IconvToWide(benchmark::State& state, const char* locale, int which) {
  const std::string text = NarrowSample(which, locale);
  const char* codeset = std::strcmp(locale, kUtf8) == 0 ? "UTF-8" : "CP1252";
  static const char16_t kReplacement[] = {0xFFFD};
  Iconv(state, kUtf16, codeset, text, Sample(which).size() * sizeof(char16_t),
        {reinterpret_cast<const char*>(kReplacement), sizeof kReplacement}, 1);
}

void Memcpy(benchmark::State& state, std::size_t bytes) {
  std::string source(bytes, 'x');
  std::string target(bytes, '\0');
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), bytes);
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  SetBytes(state, bytes);
}

// Constructing the result from ready bytes: what any conversion must at least do.
void StringFromBytes(benchmark::State& state, int which) {
  const std::string text = NarrowSample(which, kUtf8);
  for (auto _ : state) benchmark::DoNotOptimize(std::string(text.data(), text.size()));
  SetBytes(state, text.size());
}

void Register() {
  for (const char* locale : {kUtf8, kCp1252}) {
    const std::string l = std::strcmp(locale, kUtf8) == 0 ? "utf8" : "cp1252";
    for (int which = 0; which < 4; ++which) {
      const std::string s = kSampleNames[which];
      benchmark::RegisterBenchmark(("Text/ToNarrow/" + l + "/" + s).c_str(), ToNarrow, locale,
                                   which);
      benchmark::RegisterBenchmark(("Text/IconvToNarrow/" + l + "/" + s).c_str(), IconvToNarrow,
                                   locale, which);
      benchmark::RegisterBenchmark(("Text/ToWide/" + l + "/" + s).c_str(), ToWide, locale, which);
      benchmark::RegisterBenchmark(("Text/IconvToWide/" + l + "/" + s).c_str(), IconvToWide, locale,
                                   which);
    }
  }
  for (int which = 0; which < 4; ++which) {
    const std::string s = kSampleNames[which];
    benchmark::RegisterBenchmark(("Text/StringFromBytes/" + s).c_str(), StringFromBytes, which);
    benchmark::RegisterBenchmark(("Text/Memcpy/utf16/" + s).c_str(), Memcpy,
                                 Sample(which).size() * sizeof(char16_t));
    benchmark::RegisterBenchmark(("Text/Memcpy/utf8/" + s).c_str(), Memcpy,
                                 NarrowSample(which, kUtf8).size());
  }
}

const int kRegistered = (Register(), 0);

}  // namespace

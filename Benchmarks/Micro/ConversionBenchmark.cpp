// Throughput of the text conversions on 1 MiB of Japanese text, beside a bare
// iconv call on the same input, and of the Shift-JIS salvage path.
//
// The library and bare iconv take turns within one benchmark (Contest.h);
// the counters bare_MB/s, library_MB/s and overhead_% give each side's median.

#include "Common/String.h"
#include "Contest.h"

#include <functional>
#include <iconv.h>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

namespace {

constexpr size_t kTextBytes = 1 << 20;
constexpr size_t kBytesPerBadByte = 1024;

// Kanji, kana, half-width kana, full-width punctuation and some ASCII.
const wchar_t kSample[] = L"日本語のテキストを変換する。カタカナ、ひらがな、漢字と "
                          L"ASCII text 123 を混ぜた文章です。ｶﾀｶﾅもあります。";

enum class Encoding { UTF8, ShiftJIS };

std::string Encode(const std::wstring& text, Encoding encoding)
{
    return encoding == Encoding::UTF8 ? Talmex::_Mac_WideCharToUTF8(text.data(), text.size())
                                      : Talmex::_Mac_WideCharToShiftJIS(text.data(), text.size());
}

// Whole samples up to 1 MiB, so no character is cut; with `badBytes`, a byte
// 0x80 (which starts no Shift-JIS character) after each kilobyte.
std::string JapaneseText(Encoding encoding, bool badBytes = false)
{
    const std::string sample = Encode(kSample, encoding);
    std::string text;
    size_t sinceBadByte = 0;
    while (text.size() + sample.size() <= kTextBytes) {
        text += sample;
        sinceBadByte += sample.size();
        if (badBytes && sinceBadByte >= kBytesPerBadByte) {
            text += '\x80';
            sinceBadByte = 0;
        }
    }
    return text;
}

// iconv at its cheapest: one descriptor and one output buffer for all runs.
class BareIconv {
public:
    BareIconv(const char* to, const char* from, size_t outputBytes)
        : _descriptor(iconv_open(to, from)), _output(outputBytes)
    {
    }
    ~BareIconv() { iconv_close(_descriptor); }

    void Convert(const std::string& input)
    {
        iconv(_descriptor, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(input.data());
        size_t inLeft = input.size();
        char* out = _output.data();
        size_t outLeft = _output.size();
        benchmark::DoNotOptimize(iconv(_descriptor, &in, &inLeft, &out, &outLeft));
        benchmark::ClobberMemory();
    }

private:
    const iconv_t _descriptor;
    std::vector<char> _output;
};

void CompareWithBareIconv(benchmark::State& state, const char* to, const char* from,
                          Encoding encoding, const std::function<void(const std::string&)>& library)
{
    const std::string input = JapaneseText(encoding);
    BareIconv bare(to, from, input.size() * 4);
    TalmexBench::Contest contest({[&] { bare.Convert(input); }, [&] { library(input); }});
    for (auto _ : state) {
        contest.Run();
    }
    const double bareSeconds = contest.MedianSeconds(0);
    const double librarySeconds = contest.MedianSeconds(1);
    state.counters["bare_MB/s"] = static_cast<double>(input.size()) / bareSeconds / 1e6;
    state.counters["library_MB/s"] = static_cast<double>(input.size()) / librarySeconds / 1e6;
    state.counters["overhead_%"] = (librarySeconds / bareSeconds - 1.0) * 100.0;
}

void BM_UTF8ToWideChar(benchmark::State& state)
{
    CompareWithBareIconv(state, "UTF-32LE", "UTF-8", Encoding::UTF8, [](const std::string& input) {
        benchmark::DoNotOptimize(Talmex::_Mac_UTF8ToWideChar(input.data(), input.size()));
    });
}

void BM_ShiftJISToUTF8(benchmark::State& state)
{
    CompareWithBareIconv(state, "UTF-8", "CP932", Encoding::ShiftJIS, [](const std::string& input) {
        benchmark::DoNotOptimize(Talmex::_Mac_ShiftJISToUTF8(input.data(), input.size()));
    });
}

void BM_ShiftJISSalvage(benchmark::State& state)
{
    const std::string input = JapaneseText(Encoding::ShiftJIS, true);
    for (auto _ : state) {
        benchmark::DoNotOptimize(Talmex::_Mac_ShiftJISToUTF8(input.data(), input.size()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

} // namespace

BENCHMARK(BM_UTF8ToWideChar)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShiftJISToUTF8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShiftJISSalvage)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

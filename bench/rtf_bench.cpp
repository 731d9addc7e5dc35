// Rich text: reading a generated document of about a megabyte (paragraphs with bold, italic,
// underline, sizes, colours, alignment, escaped and Unicode characters) into styled runs, and
// laying it out in 600 pixels with a fixed-width measure. The reference, measured in the same
// run, is the least any reader does: one pass that tells control words from text and copies
// the text bytes out, without styles or paragraphs.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cctype>
#include <cstdio>
#include <map>
#include <string>

#include "graphics/rtf.h"

using namespace kestrin;

namespace {

std::string Document() {
    std::string doc = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}{\\f1 Times New Roman;}}"
                      "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green128\\blue0;}\n";
    const char* aligns[] = {"\\ql", "\\qc", "\\qr", "\\qj"};
    for (int p = 0; doc.size() < (1u << 20); ++p) {
        doc += "\\pard";
        doc += aligns[p % 4];
        doc += "\\fs" + std::to_string(20 + (p % 5) * 4) + " ";
        for (int w = 0; w < 40; ++w) {
            switch (w % 8) {
            case 0:
                doc += "{\\b bold} ";
                break;
            case 1:
                doc += "{\\i italic words} ";
                break;
            case 2:
                doc += "\\ul under\\ulnone  ";
                break;
            case 3:
                doc += "\\cf1 red\\cf0  ";
                break;
            case 4:
                doc += "caf\\'e9 ";
                break;
            case 5:
                doc += "\\u8364? ";
                break;
            case 6:
                doc += "{\\f1 serif} ";
                break;
            default:
                doc += "plain text here ";
                break;
            }
        }
        doc += "\\par\n";
    }
    doc += "}";
    return doc;
}

const std::string& Doc() {
    static const std::string doc = Document();
    return doc;
}

// Control words skipped, text bytes copied: no state, no output structure.
size_t Tokenize(const std::string& doc, std::string& text) {
    text.clear();
    for (size_t i = 0; i < doc.size(); ++i) {
        const char c = doc[i];
        if (c == '{' || c == '}' || c == '\r' || c == '\n') continue;
        if (c == '\\') {
            ++i;
            while (i < doc.size() && std::isalpha(static_cast<unsigned char>(doc[i]))) ++i;
            while (i < doc.size() && (std::isdigit(static_cast<unsigned char>(doc[i])) || doc[i] == '-')) ++i;
            if (i < doc.size() && doc[i] != ' ') --i;
            continue;
        }
        text.push_back(c);
    }
    return text.size();
}

void BM_rtf_reference(benchmark::State& state) {
    std::string text;
    for (auto _ : state) benchmark::DoNotOptimize(Tokenize(Doc(), text));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Doc().size()));
}
BENCHMARK(BM_rtf_reference)->Unit(benchmark::kMillisecond);

void BM_rtf_read(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(ParseRtf(Doc()).paragraphs.size());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Doc().size()));
}
BENCHMARK(BM_rtf_read)->Unit(benchmark::kMillisecond);

void BM_rtf_layout(benchmark::State& state) {
    const RtfDocument doc = ParseRtf(Doc());
    const RtfMeasure measure{
        [](const RtfStyle& s, std::string_view t) { return s.half_points * 0.25 * double(t.size()); },
        [](const RtfStyle& s) { return double(s.half_points); }};
    for (auto _ : state) benchmark::DoNotOptimize(LayoutRtf(doc, 600, measure).lines.size());
}
BENCHMARK(BM_rtf_layout)->Unit(benchmark::kMillisecond);

class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
            const std::string name = run.benchmark_name();
            microseconds[name.substr(0, name.find('/'))] =
                run.cpu_accumulated_time * 1e6 / static_cast<double>(run.iterations);
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> microseconds;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& us = reporter.microseconds;
    std::printf(
        "\nrich text, %.0f KiB document, microseconds per pass (ratio = ours / reference tokenizer)\n",
        double(Doc().size()) / 1024);
    const auto ref = us.find("BM_rtf_reference");
    for (const char* name : {"BM_rtf_read", "BM_rtf_layout"}) {
        const auto o = us.find(name);
        if (o == us.end()) continue;
        std::printf("  %-14s %10.1f us", name + 3, o->second);
        if (ref != us.end())
            std::printf("   reference %10.1f us   ratio %6.2f", ref->second, o->second / ref->second);
        std::printf("\n");
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %ld KiB\n", usage.ru_maxrss);
    benchmark::Shutdown();
    return 0;
}

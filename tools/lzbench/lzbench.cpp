// Expands a 64 MiB SZDD file of text and one of random bytes with our decoder and with
// libmspack, in the same run, and prints the throughput ratio per file.
// The files are generated at start-up in a temp folder and removed at the end.
#include <benchmark/benchmark.h>
#include <mspack.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <unistd.h>

#include "emu/szdd.h"
#include "tests/lz/szdd_writer.h"

namespace {

constexpr size_t kSize = size_t{64} << 20;

std::filesystem::path g_dir;
std::map<std::string, std::filesystem::path> g_files;

std::vector<uint8_t> Text(size_t size) {
  static const char* const kWords[] = {"the", "setup", "engine", "expands", "a", "file",
                                       "into", "temporary", "folder", "while", "medium",
                                       "registry", "Kelmora", "module", "window", "of"};
  std::vector<uint8_t> out;
  out.reserve(size + 16);
  uint32_t x = 12345;
  while (out.size() < size) {
    x = x * 1103515245u + 12345u;
    const char* w = kWords[(x >> 16) % 16];
    out.insert(out.end(), w, w + std::char_traits<char>::length(w));
    out.push_back((x >> 8) % 11 == 0 ? '\n' : ' ');
  }
  out.resize(size);
  return out;
}

std::vector<uint8_t> Random(size_t size) {
  std::vector<uint8_t> out(size);
  uint64_t x = 0x9E3779B97F4A7C15ull;
  for (auto& b : out) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    b = uint8_t(x >> 32);
  }
  return out;
}

void Write(const std::filesystem::path& path, const std::vector<uint8_t>& data) {
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(data.data(), 1, data.size(), f);
  std::fclose(f);
}

void Ours(benchmark::State& state, const std::string& which) {
  emu::szdd::Decoder decoder;
  uint64_t total = 0;
  for (auto _ : state) {
    FILE* in = std::fopen(g_files[which].c_str(), "rb");
    FILE* out = std::fopen("/dev/null", "wb");
    std::fseek(in, long(emu::szdd::kHeaderSize), SEEK_SET);
    const auto r = decoder.ExpandBody(
        [in](uint8_t* buf, size_t cap) { return ptrdiff_t(std::fread(buf, 1, cap, in)); },
        [out](const uint8_t* data, size_t size) {
          return std::fwrite(data, 1, size, out) == size;
        });
    std::fclose(in);
    std::fclose(out);
    if (r.status != emu::szdd::Status::Ok || r.written != kSize) state.SkipWithError("bad expansion");
    total += r.written;
  }
  state.SetBytesProcessed(int64_t(total));
}

void Mspack(benchmark::State& state, const std::string& which) {
  msszdd_decompressor* d = mspack_create_szdd_decompressor(nullptr);
  uint64_t total = 0;
  for (auto _ : state) {
    msszddd_header* h = d->open(d, const_cast<char*>(g_files[which].c_str()));
    if (!h || d->extract(d, h, const_cast<char*>("/dev/null")) != MSPACK_ERR_OK) {
      state.SkipWithError("libmspack failed");
    }
    if (h) d->close(d, h);
    total += kSize;
  }
  mspack_destroy_szdd_decompressor(d);
  state.SetBytesProcessed(int64_t(total));
}

// Keeps every run's bytes per second so that the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      auto it = run.counters.find("bytes_per_second");
      if (it != run.counters.end()) rates[run.benchmark_name()] = it->second.value;
    }
  }
  std::map<std::string, double> rates;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  g_dir = std::filesystem::temp_directory_path() / ("kel-lzbench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(g_dir);
  lztest::WriterOptions opt;
  opt.maxChain = 4;
  g_files["text"] = g_dir / "text.sz";
  g_files["random"] = g_dir / "random.sz";
  Write(g_files["text"], lztest::CompressSzdd(Text(kSize), opt));
  Write(g_files["random"], lztest::CompressSzdd(Random(kSize), opt));

  for (const char* which : {"text", "random"}) {
    benchmark::RegisterBenchmark((std::string("ours/") + which).c_str(), Ours, std::string(which))
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark((std::string("libmspack/") + which).c_str(), Mspack,
                                 std::string(which))
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* which : {"text", "random"}) {
    const double ours = reporter.rates["ours/" + std::string(which) + "/real_time"];
    const double theirs = reporter.rates["libmspack/" + std::string(which) + "/real_time"];
    if (ours > 0 && theirs > 0) {
      std::printf("%-6s ours %.0f MB/s, libmspack %.0f MB/s, ratio %.2f\n", which, ours / 1e6,
                  theirs / 1e6, ours / theirs);
    }
  }
  std::filesystem::remove_all(g_dir);
  benchmark::Shutdown();
  return 0;
}

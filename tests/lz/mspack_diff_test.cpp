// Differential: our decoder against libmspack's SZDD decompressor, on the committed samples
// and on generated inputs compressed at test time (by mscompress and by our test writer).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "emu/szdd.h"
#include "tests/lz/lz_test_util.h"
#include "tests/lz/szdd_writer.h"

namespace {

using lztest::Bytes;

void ExpectSameAsMspack(const Bytes& packed, const Bytes& original) {
  Bytes reference;
  int error = 0;
  ASSERT_TRUE(lztest::MspackExpand(packed, &reference, &error)) << "libmspack error " << error;
  const auto ours = lztest::ExpandSzdd(packed);
  EXPECT_EQ(ours.status, emu::szdd::Status::Ok);
  EXPECT_EQ(reference.size(), original.size());
  EXPECT_EQ(ours.out.size(), reference.size());
  EXPECT_TRUE(ours.out == reference) << "first difference at "
                                    << (std::mismatch(ours.out.begin(), ours.out.end(),
                                                      reference.begin(), reference.end())
                                            .first -
                                        ours.out.begin());
  EXPECT_TRUE(ours.out == original);
}

TEST(SzddVsMspack, CommittedSamples) {
  for (const auto& entry : std::filesystem::directory_iterator(KEL_LZ_DATA)) {
    if (entry.path().extension() != ".SZ") continue;
    SCOPED_TRACE(entry.path().filename().string());
    auto plainPath = entry.path();
    plainPath.replace_extension();
    ExpectSameAsMspack(lztest::ReadHostFile(entry.path()), lztest::ReadHostFile(plainPath));
  }
}

Bytes Runs(size_t size, uint32_t seed) {
  Bytes out;
  uint32_t x = seed;
  while (out.size() < size) {
    x = x * 1103515245u + 12345u;
    out.insert(out.end(), 1 + (x >> 16) % 3000, uint8_t(x >> 24));
  }
  out.resize(size);
  return out;
}

Bytes Mixed(size_t size, uint32_t seed) {
  Bytes out;
  for (uint32_t k = 0; out.size() < size; ++k) {
    const Bytes part = k % 3 == 0   ? lztest::RandomSample(5000 + k * 37, seed + k)
                       : k % 3 == 1 ? lztest::TextSample(20000, seed + k)
                                    : Runs(9000, seed + k);
    out.insert(out.end(), part.begin(), part.end());
  }
  out.resize(size);
  return out;
}

struct Generated {
  const char* what;
  std::function<Bytes()> make;
  int maxChain;  // 0: literals only
};

TEST(SzddVsMspack, GeneratedByTestWriter) {
  const Generated rows[] = {
      /* 0 */ {"empty", [] { return Bytes{}; }, 8},
      /* 1 */ {"one byte", [] { return Bytes{'k'}; }, 8},
      /* 2 */ {"one window", [] { return lztest::TextSample(4096, 1); }, 8},
      /* 3 */ {"window plus one", [] { return lztest::TextSample(4097, 2); }, 8},
      /* 4 */ {"text 1 MiB", [] { return lztest::TextSample(1 << 20, 3); }, 32},
      /* 5 */ {"random 3 MiB", [] { return lztest::RandomSample(3 << 20, 4); }, 4},
      /* 6 */ {"long runs 2 MiB", [] { return Runs(2 << 20, 5); }, 8},
      /* 7 */ {"all literals", [] { return lztest::TextSample(300000, 6); }, 0},
      /* 8 */ {"all matches: spaces", [] { return Bytes(500000, ' '); }, 8},
      /* 9 */ {"all matches: zeros", [] { return Bytes(500001, 0); }, 8},
      /* 10 */ {"mixed 2 MiB", [] { return Mixed(2 << 20, 7); }, 16},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + ": " + rows[i].what);
    const Bytes plain = rows[i].make();
    lztest::WriterOptions opt;
    opt.maxChain = rows[i].maxChain;
    ExpectSameAsMspack(lztest::CompressSzdd(plain, opt), plain);
  }
}

// mscompress is slow on incompressible data and mangles files below 16 bytes, so its rows
// are moderate in size and never tiny.
TEST(SzddVsMspack, GeneratedByMscompress) {
  if (std::system("command -v mscompress >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "mscompress is not installed";
  }
  const Generated rows[] = {
      /* 0 */ {"exactly 16 bytes", [] { return lztest::TextSample(16, 11); }, 0},
      /* 1 */ {"text 400 KiB", [] { return lztest::TextSample(400 << 10, 12); }, 0},
      /* 2 */ {"random 200 KiB", [] { return lztest::RandomSample(200 << 10, 13); }, 0},
      /* 3 */ {"runs 300 KiB", [] { return Runs(300 << 10, 14); }, 0},
      /* 4 */ {"mixed 500 KiB", [] { return Mixed(500 << 10, 15); }, 0},
  };
  lztest::TempDir dir;
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + ": " + rows[i].what);
    const Bytes plain = rows[i].make();
    const auto path = dir.path() / ("in" + std::to_string(i));
    lztest::WriteHostFile(path, plain);
    const std::string cmd = "mscompress '" + path.string() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    ExpectSameAsMspack(lztest::ReadHostFile(path.string() + "_"), plain);
  }
}

}  // namespace

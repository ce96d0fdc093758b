// The SZDD decoder on its own: header, known files, hand-built and malformed streams,
// streaming with any block sizes, input and output failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "emu/szdd.h"
#include "tests/lz/lz_test_util.h"
#include "tests/lz/szdd_writer.h"

namespace {

using emu::szdd::HeaderKind;
using emu::szdd::Status;
using lztest::Bytes;

const char* const kSamples[] = {"hello.txt", "text.txt", "zeros.bin",
                                "spaces.txt", "random.bin", "ramp.bin"};

std::filesystem::path Data(const std::string& name) {
  return std::filesystem::path(KEL_LZ_DATA) / name;
}

Bytes HeaderA(uint32_t length = 0) {
  Bytes h = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33, 'A', 0};
  for (int k = 0; k < 4; ++k) h.push_back(uint8_t(length >> (8 * k)));
  return h;
}

Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes Str(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(SzddHeader, Kinds) {
  struct Row {
    Bytes bytes;
    HeaderKind kind;
  };
  Bytes badMagic = HeaderA();
  badMagic[7] = 0x34;
  Bytes modeB = HeaderA();
  modeB[8] = 'B';
  Bytes lowerA = HeaderA();
  lowerA[8] = 'a';
  Bytes short13 = HeaderA();
  short13.pop_back();
  const Row rows[] = {
      /* 0 */ {HeaderA(), HeaderKind::Szdd},
      /* 1 */ {short13, HeaderKind::NotSzdd},
      /* 2 */ {{}, HeaderKind::NotSzdd},
      /* 3 */ {badMagic, HeaderKind::NotSzdd},
      /* 4 */ {modeB, HeaderKind::UnknownMode},
      /* 5 */ {lowerA, HeaderKind::UnknownMode},
      /* 6 */ {Str("MZ this is a plain executable"), HeaderKind::NotSzdd},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    EXPECT_EQ(emu::szdd::ParseHeader(rows[i].bytes.data(), rows[i].bytes.size()).kind,
              rows[i].kind);
  }
}

TEST(SzddHeader, FieldsAreLittleEndian) {
  Bytes h = HeaderA(0x04030201);
  h[9] = 'e';
  const auto header = emu::szdd::ParseHeader(h.data(), h.size());
  EXPECT_EQ(header.length, 0x04030201u);
  EXPECT_EQ(header.lastChar, 'e');
  EXPECT_EQ(header.mode, 'A');
}

TEST(SzddDecoder, ExpandsMscompressSamples) {
  for (const char* name : kSamples) {
    SCOPED_TRACE(name);
    const Bytes original = lztest::ReadHostFile(Data(name));
    const Bytes packed = lztest::ReadHostFile(Data(std::string(name) + ".SZ"));
    ASSERT_FALSE(original.empty());
    const auto header = emu::szdd::ParseHeader(packed.data(), packed.size());
    EXPECT_EQ(header.kind, HeaderKind::Szdd);
    EXPECT_EQ(header.length, original.size());
    const auto e = lztest::ExpandSzdd(packed);
    EXPECT_EQ(e.status, Status::Ok);
    EXPECT_EQ(e.written, original.size());
    EXPECT_EQ(e.out, original);
  }
}

// Hand-built bodies: each row is the bytes after the header and the expected output.
TEST(SzddDecoder, HandBuiltAndMalformedBodies) {
  struct Row {
    const char* what;
    Bytes body;
    std::string expected;
  };
  const Row rows[] = {
      /* 0 */ {"empty body", {}, ""},
      /* 1 */ {"flag byte alone", {0xFF}, ""},
      /* 2 */ {"group cut after three literals", {0xFF, 'a', 'b', 'c'}, "abc"},
      /* 3 */ {"match cut after its first byte", {0x00, 0xF0}, ""},
      /* 4 */ {"literal, then a cut match", {0x01, 'x', 0xF0}, "x"},
      /* 5 */ {"match into the unwritten window reads spaces", {0x00, 0x00, 0x00}, "   "},
      /* 6 */ {"window position wraps past 0xFFF", {0x00, 0xFE, 0xF2}, "     "},
      /* 7 */ {"distance one repeats the last byte", {0x01, 'a', 0xF0, 0xFF}, std::string(19, 'a')},
      /* 8 */ {"distance two repeats a pair", {0x03, 'a', 'b', 0xF0, 0xF3}, "abababab"},
      /* 9 */ {"match of the bytes just written, no overlap", {0x07, 'x', 'y', 'z', 0xF0, 0xF0}, "xyzxyz"},
      /* 10 */ {"second group after a full first", {0xFF, '1', '2', '3', '4', '5', '6', '7', '8', 0x01, '9'}, "123456789"},
      /* 11 */ {"cleared flag bits after the data are ignored", {0x01, 'q'}, "q"},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + ": " + rows[i].what);
    for (size_t chunk : {size_t{1}, size_t{1} << 20}) {
      const auto e = lztest::ExpandSzdd(Cat(HeaderA(), rows[i].body), chunk);
      EXPECT_EQ(e.status, Status::Ok);
      EXPECT_EQ(std::string(e.out.begin(), e.out.end()), rows[i].expected);
      EXPECT_EQ(e.written, rows[i].expected.size());
    }
  }
}

// Position equal to the write position: the byte written 4096 bytes earlier, read before
// it is overwritten.
TEST(SzddDecoder, MatchAtFullWindowDistance) {
  Bytes plain(4096);
  for (size_t i = 0; i < plain.size(); ++i) plain[i] = uint8_t(i * 7 % 251);
  Bytes body;
  for (size_t i = 0; i < plain.size(); i += 8) {
    body.push_back(0xFF);
    body.insert(body.end(), plain.begin() + long(i), plain.begin() + long(i + 8));
  }
  body.push_back(0x00);  // a match at 0xFF0, the current write position again
  body.push_back(0xF0);
  body.push_back(0xF1);
  const auto e = lztest::ExpandSzdd(Cat(HeaderA(), body));
  Bytes expected = plain;
  expected.insert(expected.end(), plain.begin(), plain.begin() + 4);
  EXPECT_EQ(e.status, Status::Ok);
  EXPECT_EQ(e.out, expected);
}

// The stored length is not trusted: the data decides, as in LZ32.
TEST(SzddDecoder, StoredLengthIsIgnored) {
  const Bytes plain = lztest::TextSample(10000, 7);
  for (uint32_t stored : {0u, 5u, 9999u, 10001u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(stored);
    lztest::WriterOptions opt;
    opt.storedLength = stored;
    const auto e = lztest::ExpandSzdd(lztest::CompressSzdd(plain, opt));
    EXPECT_EQ(e.status, Status::Ok);
    EXPECT_EQ(e.out, plain);
  }
}

// Cut anywhere, the output is the original up to the last complete token, never more.
TEST(SzddDecoder, TruncationAtEveryOffsetYieldsAGrowingPrefix) {
  const Bytes original = lztest::ReadHostFile(Data("text.txt"));
  const Bytes packed = lztest::ReadHostFile(Data("text.txt.SZ"));
  size_t previous = 0;
  for (size_t cut = 0; cut <= packed.size(); ++cut) {
    const Bytes part(packed.begin(), packed.begin() + long(cut));
    const auto e = lztest::ExpandSzdd(part);
    ASSERT_EQ(e.status, Status::Ok) << "cut " << cut;
    ASSERT_LE(e.out.size(), original.size()) << "cut " << cut;
    ASSERT_TRUE(std::equal(e.out.begin(), e.out.end(), original.begin())) << "cut " << cut;
    ASSERT_GE(e.out.size(), previous) << "cut " << cut;
    previous = e.out.size();
  }
  EXPECT_EQ(previous, original.size());
}

// Block boundaries of input and output must not show: every read size gives the same bytes,
// across several output blocks.
TEST(SzddDecoder, ReadBlockSizesDoNotMatter) {
  Bytes plain = lztest::TextSample(700000, 3);
  const Bytes noise = lztest::RandomSample(50000, 4);
  plain.insert(plain.begin() + 300000, noise.begin(), noise.end());
  const Bytes packed = lztest::CompressSzdd(plain);
  for (size_t chunk : {size_t{1}, size_t{2}, size_t{3}, size_t{16}, size_t{17}, size_t{4097},
                       size_t{1} << 20}) {
    SCOPED_TRACE(chunk);
    const auto e = lztest::ExpandSzdd(packed, chunk);
    EXPECT_EQ(e.status, Status::Ok);
    EXPECT_TRUE(e.out == plain);
  }
}

TEST(SzddDecoder, ReadFailureEndsTheDataAndIsReported) {
  const Bytes plain = lztest::TextSample(200000, 5);
  const Bytes packed = lztest::CompressSzdd(plain);
  for (int failAt : {1, 2, 7}) {
    SCOPED_TRACE(failAt);
    const auto e = lztest::ExpandSzdd(packed, 4096, 0, failAt);
    EXPECT_EQ(e.status, Status::ReadError);
    EXPECT_EQ(e.written, e.out.size());
    EXPECT_LT(e.out.size(), plain.size());
    EXPECT_TRUE(std::equal(e.out.begin(), e.out.end(), plain.begin()));
  }
}

TEST(SzddDecoder, WriteFailureStopsWithWhatWasWritten) {
  const Bytes plain = lztest::TextSample(1 << 20, 6);
  const Bytes packed = lztest::CompressSzdd(plain);
  for (int failAt : {1, 2}) {
    SCOPED_TRACE(failAt);
    const auto e = lztest::ExpandSzdd(packed, 1 << 20, 0, 0, failAt);
    EXPECT_EQ(e.status, Status::WriteError);
    EXPECT_EQ(e.written, e.out.size());
    EXPECT_EQ(failAt == 1, e.out.empty());
    EXPECT_TRUE(std::equal(e.out.begin(), e.out.end(), plain.begin()));
  }
}

// A reader that claims more than it was asked for is an input failure, not an overrun.
TEST(SzddDecoder, OverlongReadIsAnError) {
  emu::szdd::Decoder decoder;
  const auto r = decoder.ExpandBody([](uint8_t*, size_t cap) { return ptrdiff_t(cap + 1); },
                                    [](const uint8_t*, size_t) { return true; });
  EXPECT_EQ(r.status, Status::ReadError);
  EXPECT_EQ(r.written, 0u);
}

// Fuzzer seeds and every crash input found so far: must expand the same way whatever the
// read size, without faults (the sanitizer build checks memory).
TEST(SzddDecoder, CorpusAndRegressionsReplay) {
  size_t files = 0;
  for (const char* dir : {KEL_LZ_CORPUS, KEL_LZ_REGRESSIONS}) {
    if (!std::filesystem::is_directory(dir)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;
      SCOPED_TRACE(entry.path().string());
      const Bytes input = lztest::ReadHostFile(entry.path());
      const auto whole = lztest::ExpandSzdd(input);
      const auto byByte = lztest::ExpandSzdd(input, 1);
      EXPECT_EQ(whole.status, Status::Ok);
      EXPECT_TRUE(whole.out == byByte.out);
      ++files;
    }
  }
  EXPECT_GT(files, 0u);
}

}  // namespace

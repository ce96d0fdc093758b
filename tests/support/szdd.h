// A minimal SZDD writer for tests: literals only, so every byte of the output is predictable.
// (Expansion of real compressor output is tested with files made by mscompress.)
#pragma once

#include <string>
#include <string_view>

namespace testsupport {

std::string SzddLiteral(std::string_view plain);

}  // namespace testsupport

// A fresh emulated machine per test, and media built in one line.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "emu/core.h"
#include "emu/fs.h"
#include "emu/registry.h"
#include "emu/system.h"

namespace testsupport {

// The files a complete medium carries, with the compressed engine.
extern const std::vector<std::string> kCompleteMedium;
// The same with the plain engine.
extern const std::vector<std::string> kCompletePlainMedium;

// Puts the named files into folder (which ends with a backslash). Kel.Exe holds kEngineBytes
// (which begin like a Windows program) and Kel.Ex_ an SZDD stream of them; every other file
// holds its own name.
void Medium(const std::string& folder, const std::vector<std::string>& names);
extern const char kEngineBytes[];

// The texts of all message boxes shown so far, as "caption|text".
std::vector<std::string> Boxes();

class MachineTest : public ::testing::Test {
 protected:
  void SetUp() override { emu::Reset(); }
};

}  // namespace testsupport

#include "tests/support/machine.h"

#include "emu/szdd.h"

namespace testsupport {

const char kEngineBytes[] = "MZ stub engine of the tests";

const std::vector<std::string> kCompleteMedium = {"Kel.Ex_", "Install.Msg", "Common.801",
                                                  "Lang801.txt", "Kel.JCF"};
const std::vector<std::string> kCompletePlainMedium = {"Kel.Exe", "Install.Msg", "Common.801",
                                                       "Lang801.txt", "Kel.JCF"};

void Medium(const std::string& folder, const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    std::string content = name;
    if (name == "Kel.Ex_") content = emu::szdd::LiteralStream(kEngineBytes);
    if (name == "Kel.Exe") content = kEngineBytes;
    emu::AddFile(folder + name, content);
  }
}

std::vector<std::string> Boxes() {
  std::vector<std::string> boxes;
  for (const emu::MessageBoxCall& box : emu::MessageBoxes()) {
    boxes.push_back(box.caption + "|" + box.text);
  }
  return boxes;
}

}  // namespace testsupport

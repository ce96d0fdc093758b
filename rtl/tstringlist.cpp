#include "rtl/tstringlist.h"

#include <algorithm>

#include "rtl/exceptions.h"
#include "rtl/sysutils.h"

namespace {
// Normal lists go out in one WriteFile; the cap keeps every count inside FileWrite's int32.
constexpr size_t kWriteChunk = size_t{1} << 20;
}  // namespace

void TStringList::SaveToFile(const std::string& fileName) const {
  std::string text;
  for (const std::string& line : lines_) {
    text += line;
    text += "\r\n";
  }
  HandleGuard file(FileCreate(fileName));
  if (!file.Valid()) throw EFCreateError("Cannot create file " + fileName);
  for (size_t done = 0; done < text.size();) {
    const auto count = static_cast<int32_t>(std::min(kWriteChunk, text.size() - done));
    if (FileWrite(file.Get(), text.data() + done, count) != count) {
      throw EWriteError("Stream write error");
    }
    done += static_cast<size_t>(count);
  }
}

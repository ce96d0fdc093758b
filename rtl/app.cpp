#include "rtl/app.h"

#include <exception>
#include <new>
#include <utility>
#include <vector>

#include "platform/win32.h"
#include "rtl/exceptions.h"
#include "rtl/sysutils.h"

namespace {

std::vector<void (*)()>& ExitProcs() {
  static std::vector<void (*)()> procs;
  return procs;
}

// Runs one step of the process; an exception that escapes it is shown, and counts as failure.
bool RunGuarded(const std::function<void()>& step) {
  try {
    step();
    return true;
  } catch (const Exception& e) {
    ShowException(e);
  } catch (const std::bad_alloc&) {
    ShowException(EOutOfMemory("Out of memory"));
  } catch (const std::exception& e) {
    // Not one of ours (a library fault): still shown the standard way rather than aborting.
    ShowException(Exception(e.what()));
  }
  return false;
}

std::string HexAddress(const void* address) {
  static const char kDigits[] = "0123456789ABCDEF";
  auto value = reinterpret_cast<uintptr_t>(address);
  std::string text(sizeof(uintptr_t) * 2, '0');
  for (size_t i = text.size(); i-- > 0; value >>= 4) text[i] = kDigits[value & 0xF];
  return text;
}

}  // namespace

void AddExitProc(void (*step)()) { ExitProcs().push_back(step); }

int RunApplication(const std::function<void()>& startup, const std::function<void()>& entry) {
  int exitCode = 0;
  if (!RunGuarded(startup) || !RunGuarded(entry)) exitCode = 1;
  // Taken out first: the list is empty for the next process even if a step registers again.
  std::vector<void (*)()> steps = std::move(ExitProcs());
  ExitProcs().clear();
  for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
    void (*step)() = *it;
    if (!RunGuarded([step] { step(); })) exitCode = 1;
  }
  return exitCode;
}

std::string ExceptionBoxText(const Exception& e) {
  std::string text = FormatText("Exception %s in module %s at %s.\n", e.ClassName(),
                                ExtractFileName(ParamStr(0)).c_str(),
                                HexAddress(e.Address()).c_str());
  text += e.Message();
  if (e.Message().empty() || e.Message().back() != '.') text += '.';
  return text;
}

void ShowException(const Exception& e) {
  MessageBoxA(nullptr, ExceptionBoxText(e).c_str(), "Application Error",
              MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

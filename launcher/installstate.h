// Installation-state check, module hand-off and the autorun shortcut.
#pragma once

#include <string>

bool CheckInstallState(const std::string& sourceFolder);
bool AutorunUpToDate(const std::string& engineFile, const std::string& firstArgument);

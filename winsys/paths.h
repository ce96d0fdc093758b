// Path, drive and file primitives. None shows a notice; failures fold into the results.
#pragma once

#include <string>

bool FileExistsSafe(const std::string& name);
std::string AddBackslash(const std::string& path);
std::string GetShortPath(const std::string& path);
bool DriveUsable(char letter);
bool DirWritable(const std::string& folder);
bool ForceDeleteFile(const std::string& name);

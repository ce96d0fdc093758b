// Path, drive and file primitives. None shows a notice; failures fold into the results.
#pragma once

#include <functional>
#include <string>

#include "platform/win32.h"

bool FileExistsSafe(const std::string& name);
std::string AddBackslash(const std::string& path);
std::string GetShortPath(const std::string& path);
bool DriveUsable(char letter);
bool DirWritable(const std::string& folder);
bool ForceDeleteFile(const std::string& name);

// Runs a Win32 text query that takes (buffer, size) and returns the text's length, or the size
// it needs when the text does not fit: first into 255 bytes, then once more into the size it
// asked for. "" when the query fails.
std::string QueryPathText(const std::function<DWORD(LPSTR buffer, DWORD size)>& query);

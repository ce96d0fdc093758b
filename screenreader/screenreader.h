// Copies the JAWS configuration file into every JAWS settings subfolder that needs it.
#pragma once

#include <string>

void InstallScreenReaderConfig(const std::string& sourceFolder);
bool ScreenReaderRegistered();

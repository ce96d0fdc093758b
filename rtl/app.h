// The process frame: runtime start-up, the units' start-up steps, the program's entry, the end
// steps in reverse order, and the standard error box for an exception nobody caught.
#pragma once

#include <functional>
#include <string>

class Exception;

// Registers a step that runs when the process ends, however it ends. Steps run in reverse
// order of registration.
void AddExitProc(void (*step)());

// Runs the start-up steps in order, then the entry. An exception that escapes either shows the
// standard error box and gives exit code 1; otherwise the exit code is 0. The end steps run in
// every case, and the registered list is empty again afterwards.
int RunApplication(const std::function<void()>& startup, const std::function<void()>& entry);

// The standard error box: no owner, caption "Application Error", stop icon, OK, task-modal,
// text "Exception %s in module %s at %p." + "\n" + message (+ "." unless it ends with one).
void ShowException(const Exception& e);
// The text of that box.
std::string ExceptionBoxText(const Exception& e);

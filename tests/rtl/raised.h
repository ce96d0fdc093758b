// What an action raised, as "ClassName: message", for comparing in one expectation.
#pragma once

#include <string>

#include "rtl/exceptions.h"

template <class E = Exception, class Action>
std::string Raised(Action&& action) {
  try {
    action();
  } catch (const E& e) {
    return std::string(e.ClassName()) + ": " + e.Message();
  }
  return "nothing raised";
}

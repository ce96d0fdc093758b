// PLACEHOLDER: replaced by the real implementation of this area.
#include "emu/core.h"

namespace emu {
void ResetRegistry() {}
}  // namespace emu

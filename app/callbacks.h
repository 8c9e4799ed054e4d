// The table of callback names and entry points that the panel description may bind.
#pragma once

#include "runtime/panel.h"

namespace evok {

extern const CallbackEntry kCallbackTable[];
extern const int kCallbackCount;

} // namespace evok

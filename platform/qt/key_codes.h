#pragma once
// Qt keys to the platform's virtual-key codes the key hooks and PreTranslateMessage receive.

#include "platform/qt/win_defs.h"

namespace platform {

// 0 for keys without a code here.
UINT VirtualKeyFromQtKey(int qtKey);

}  // namespace platform

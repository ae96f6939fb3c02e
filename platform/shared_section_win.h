// Page-file backed named file mappings behind the shared-section seam (Win32 only).
#pragma once

#include "platform/shared_section.h"

namespace kv {

SharedSections& winSharedSections();

}  // namespace kv

// What a call that may reach a share's server answers, as a host hands it from the
// call's own thread to the window's: a listing its root, a connect its result.
#pragma once

#include "platform/platform.h"

namespace vt {

struct ShareCallAnswer {
  DriveRoot root = DriveRoot::Unreadable;
  SystemResult result;
};

}  // namespace vt

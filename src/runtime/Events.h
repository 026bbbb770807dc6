#pragma once
// Event types shared by components: handlers are plain std::function members, empty when
// unassigned.

#include <functional>

namespace runtime {

class TPersistent;

/// "Something happened to sender."
using TNotifyEvent = std::function<void(TPersistent* sender)>;

} // namespace runtime

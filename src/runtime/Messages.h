#pragma once
// The message vocabulary of the platform layer, seen from the runtime and the toolkit.

#include "platform/Messages.h"

namespace runtime {

using platform::LParamX;
using platform::LParamY;
using platform::MakeLParam;
using platform::TMessage;
using namespace platform::messages;

} // namespace runtime

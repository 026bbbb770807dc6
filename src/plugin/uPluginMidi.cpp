// MIDI dispatch. Until events can be queued there is nothing to dispatch.

#include "plugin/uPlugin.h"

void APlugin::dispatchMidiEvents(std::int32_t /*position*/) {
    midiNextEventPos = 2147483647;
}

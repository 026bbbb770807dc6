// MIDI control of APlugin: the event queue filled by the host, its dispatch at sample positions
// inside the audio loop, controller handling with learning, pass-through to the host, and the
// controller map with its file beside the library.

#include "platform/Platform.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginMidiMap.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::int32_t kFreeSlot = -99;
constexpr char kReservedMark = 99;
/// 1/127 as float32 (0.0078740157): controller value 127 gives exactly 1.0.
constexpr float kControllerScale = 1.0f / 127.0f;

constexpr const char* kNoMapFile =
    "none (neither the plug-in's folder nor the user's settings folder can be written)";

constexpr std::int32_t kQueueSlots = APlugin::kMidiPoolSize - 1;

bool isParameter(std::int32_t index) {
    return index >= 0 && index < midimap::kParams;
}
bool isController(std::int32_t cc) {
    return cc >= 0 && cc < midimap::kControllers;
}

VstMidiEvent freshEvent() {
    VstMidiEvent e{};
    e.type = kVstMidiType;
    e.byteSize = sizeof(VstMidiEvent);
    e.deltaFrames = kFreeSlot;
    e.reserved1 = kReservedMark;
    return e;
}

} // namespace

// ---- event pool and queue ----

void APlugin::createMidiEventPool() {
    midiEventPool = std::make_unique<VstMidiEvent[]>(kMidiPoolSize);
    std::fill_n(midiEventPool.get(), kMidiPoolSize, freshEvent());
    midiOutEvents = std::make_unique<VstEvents>();
    midiOutEvents->numEvents = 1;
    midiOutEvents->reserved = 0;
    midiOutEvents->events[0] = reinterpret_cast<VstEvent*>(&midiEventPool[0]);
    midiOutEvents->events[1] = nullptr;
    midiQueuedCount = 0;
    midiLastSlot = 0;
    midiNextEventPos = kMidiNoEvent;
}

int32_t APlugin::processEvents(VstEvents* events) {
    if (events == nullptr || !midiEventPool) return 0;
    // The host's list is longer than the two entries the record declares.
    VstEvent* const* list = events->events;
    for (std::int32_t i = 0; i < events->numEvents && midiQueuedCount < kQueueSlots; ++i) {
        const VstEvent* event = list[i];
        if (event == nullptr || event->type != kVstMidiType) continue;
        // Slots above midiLastSlot are all free; below it the lowest free one is taken.
        std::int32_t slot = 1;
        while (slot <= midiLastSlot && midiEventPool[slot].deltaFrames != kFreeSlot)
            ++slot;
        VstMidiEvent& queued = midiEventPool[slot];
        std::memcpy(&queued, event, sizeof(VstMidiEvent));
        queued.reserved1 = kReservedMark;
        // Hosts never send a negative position; taken as 0, it can neither stall the audio
        // loop nor pass for a free slot.
        queued.deltaFrames = std::max(queued.deltaFrames, std::int32_t{0});
        ++midiQueuedCount;
        midiLastSlot = std::max(midiLastSlot, slot);
        midiNextEventPos = std::min(midiNextEventPos, queued.deltaFrames);
    }
    return 1;
}

void APlugin::dispatchMidiEvents(std::int32_t position) {
    midiDispatchPos = position;
    std::int32_t next = kMidiNoEvent;
    std::int32_t last = 0;
    for (std::int32_t slot = 1; slot <= midiLastSlot; ++slot) {
        VstMidiEvent& event = midiEventPool[slot];
        const std::int32_t d = event.deltaFrames;
        if (d == kFreeSlot) continue;
        if (d > position) {
            next = std::min(next, d);
            last = slot;
            continue;
        }
        // d < position cannot happen while the audio loop keeps step; handling such an event
        // now is still better than keeping it for ever.
        --midiQueuedCount;
        handleMidiEvent(event);
        event.deltaFrames = kFreeSlot;
    }
    midiLastSlot = last;
    midiNextEventPos = next;
}

void APlugin::finishMidiBlock() {
    if (midiQueuedCount == 0) return;
    // Whatever is still queued lies at or beyond the end of this block: it is handled first
    // thing in the next one instead of waiting for a position no block may ever reach.
    for (std::int32_t slot = 1; slot <= midiLastSlot; ++slot) {
        if (midiEventPool[slot].deltaFrames != kFreeSlot) midiEventPool[slot].deltaFrames = 0;
    }
    midiNextEventPos = 0;
}

void APlugin::handleMidiEvent(const VstMidiEvent& event) {
    const auto status = static_cast<std::uint8_t>(event.midiData[0]);
    const std::uint8_t kind = status & 0xF0;
    const std::uint8_t channel = status & 0x0F;
    const std::uint8_t data1 = static_cast<std::uint8_t>(event.midiData[1]) & 0x7F;
    const std::uint8_t data2 = static_cast<std::uint8_t>(event.midiData[2]) & 0x7F;
    switch (kind) {
    case 0x90:
        passMidiToHost(data2 > 0 ? status : std::uint8_t(0x80 | channel), data1, data2);
        break;
    case 0x80:
    case 0xA0:
    case 0xE0:
        passMidiToHost(status, data1, data2);
        break;
    case 0xB0:
        passMidiToHost(status, data1, data2);
        handleController(data1, data2);
        break;
    case 0xC0:
    case 0xD0:
        passMidiToHost(status, data1, 0);
        break;
    default: // system messages and stray data bytes
        break;
    }
}

void APlugin::handleController(std::uint8_t cc, std::uint8_t value) {
    const std::int32_t learning = midiLearnParam.load(std::memory_order_relaxed);
    if (isParameter(learning)) {
        const std::int32_t previous = midiParamCc[learning].load(std::memory_order_relaxed);
        if (isController(previous)) midiCcMap[previous].store(-1, std::memory_order_relaxed);
        midiCcMap[cc].store(learning, std::memory_order_relaxed);
        midiParamCc[learning].store(cc, std::memory_order_relaxed);
        midiLearnParam.store(-1, std::memory_order_relaxed);
    }
    const std::int32_t param = midiCcMap[cc].load(std::memory_order_relaxed);
    if (isParameter(param)) setParameterAutomated(param, float(value) * kControllerScale);
}

void APlugin::passMidiToHost(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
    // Rebuilt on every send: the host got pointers to both records and may have written them.
    VstMidiEvent& out = midiEventPool[0];
    out = freshEvent();
    out.deltaFrames = 0;
    out.midiData[0] = static_cast<char>(status);
    out.midiData[1] = static_cast<char>(data1);
    out.midiData[2] = static_cast<char>(data2);
    midiOutEvents->numEvents = 1;
    midiOutEvents->events[0] = reinterpret_cast<VstEvent*>(&out);
    sendVstEventsToHost(midiOutEvents.get());
}

// ---- controller map ----

void APlugin::clearMidiMap() {
    midiLearnParam.store(-1, std::memory_order_relaxed);
    for (auto& entry : midiCcMap)
        entry.store(-1, std::memory_order_relaxed);
    for (auto& entry : midiParamCc)
        entry.store(-1, std::memory_order_relaxed);
}

void APlugin::setDefaultMidiMap() {
    clearMidiMap();
    constexpr std::int32_t kFirstController = 20;
    for (std::int32_t index = 0; index < kNumParams; ++index) {
        midiCcMap[kFirstController + index].store(index, std::memory_order_relaxed);
        midiParamCc[index].store(kFirstController + index, std::memory_order_relaxed);
    }
}

std::string APlugin::getLibraryFolder() {
    return midimap::folderOf(platform::libraryFilePath());
}

midimap::MapFiles APlugin::getMidiMapFiles() {
    return midimap::MapFiles::locate(getLibraryFolder(), platform::userSettingsFolder());
}

void APlugin::loadMidiMap() {
    midimap::CcMap map;
    map.fill(-1);
    if (midiMapFiles.read(map) != midimap::ReadResult::Read) {
        setDefaultMidiMap();
        return;
    }
    clearMidiMap();
    for (int cc = 0; cc < midimap::kControllers; ++cc)
        midiCcMap[cc].store(map[cc], std::memory_order_relaxed);
}

bool APlugin::saveMidiMap() noexcept {
    try {
        midimap::CcMap map;
        for (int cc = 0; cc < midimap::kControllers; ++cc)
            map[cc] = midiCcMap[cc].load(std::memory_order_relaxed);
        return !midiMapFiles.write(map).empty();
    } catch (...) {
        return false;
    }
}

std::string APlugin::getMidiMapText() {
    auto nameOf = [this](std::int32_t param) {
        char name[kTextScratchSize] = {};
        getParameterName(param, name);
        return std::string(name);
    };
    const std::int32_t learning = midiLearnParam.load(std::memory_order_relaxed);
    std::string text;
    for (int cc = 0; cc < midimap::kControllers; ++cc) {
        const std::int32_t param = midiCcMap[cc].load(std::memory_order_relaxed);
        if (!isParameter(param)) continue;
        text += std::to_string(cc) + ": " + nameOf(param);
        text += param == learning ? " [Learning]\r\n" : "\r\n";
    }
    if (isParameter(learning)) {
        if (text.empty())
            text = "Learning: " + nameOf(learning);
        else
            text += "\r\nLearning: " + nameOf(learning);
    }
    if (text.empty()) text = "No MIDI CC details configured";
    // Learned controllers must never vanish unnoticed: say where they are kept.
    if (!text.ends_with("\r\n")) text += "\r\n";
    const std::string holder = midiMapFiles.holder();
    text += "\r\nMap file: " + (holder.empty() ? std::string(kNoMapFile) : holder);
    return "MIDI CC -> VST Parameter Configuration\r\n\r\n" + text;
}

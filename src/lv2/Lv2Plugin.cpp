#include "lv2/Lv2Plugin.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <optional>

#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>

#include "lv2/Lv2State.h"

namespace lv2glue {
namespace {

/// Blocks up to this length, or the host's announced maximum when larger, go to the plug-in
/// whole: it mixes each block with the Dry/Wet and listen values at its end, so only whole
/// blocks give the VST 2 build's samples when a controller moves those inside a block. Longer
/// blocks go in pieces, because growing the buffers would allocate on the audio thread.
constexpr uint32_t kReservedFrames = 8192;
constexpr uint32_t kMostReservedFrames = 1 << 20;
constexpr auto relaxed = std::memory_order_relaxed;
/// What the plug-in's buffers hold from the start.
constexpr uint32_t kInitialFrames = 512;

const LV2_URID_Map* findMap(const LV2_Feature* const* features) {
    if (!features) return nullptr;
    for (; *features; ++features) {
        const LV2_Feature& f = **features;
        if (f.URI && std::strcmp(f.URI, LV2_URID__map) == 0 && f.data) {
            const auto* map = static_cast<const LV2_URID_Map*>(f.data);
            return map->map ? map : nullptr;
        }
    }
    return nullptr;
}

/// The host's bufsz:maxBlockLength from the options feature, or 0.
uint32_t announcedMaxBlock(const LV2_Feature* const* features, const LV2_URID_Map& map) {
    if (!features) return 0;
    const LV2_URID maxBlock = map.map(map.handle, LV2_BUF_SIZE__maxBlockLength);
    const LV2_URID atomInt = map.map(map.handle, LV2_ATOM__Int);
    for (; *features; ++features) {
        const LV2_Feature& f = **features;
        if (!f.URI || std::strcmp(f.URI, LV2_OPTIONS__options) != 0 || !f.data) continue;
        for (auto* o = static_cast<const LV2_Options_Option*>(f.data); o->key; ++o) {
            if (o->key == maxBlock && o->type == atomInt && o->size == sizeof(int32_t) && o->value)
                return static_cast<uint32_t>(
                    std::clamp(*static_cast<const int32_t*>(o->value), 0, int32_t{1} << 30));
        }
    }
    return 0;
}

/// Each event of a sequence the host wrote that lies wholly inside the sequence's size; a
/// damaged sequence ends where an event would reach past it.
template <class Visit>
void forEachEvent(const LV2_Atom_Sequence& sequence, Visit visit) {
    const uint64_t size = sequence.atom.size;
    const auto* body = reinterpret_cast<const uint8_t*>(&sequence.body);
    for (uint64_t at = sizeof(LV2_Atom_Sequence_Body); at + sizeof(LV2_Atom_Event) <= size;) {
        const auto* event = reinterpret_cast<const LV2_Atom_Event*>(body + at);
        if (event->body.size > size - at - sizeof(LV2_Atom_Event)) return;
        visit(*event);
        at += sizeof(LV2_Atom_Event) + ((uint64_t{event->body.size} + 7) & ~uint64_t{7});
    }
}

/// Makes an output sequence the host connected empty, and answers its capacity: the host leaves
/// it in the size field for the plug-in to read. 0 when nothing is connected or no event fits.
uint32_t openOutput(LV2_Atom_Sequence* sequence, LV2_URID sequenceType) {
    if (!sequence || sequence->atom.size < sizeof(LV2_Atom_Sequence_Body)) return 0;
    const uint32_t capacity = sequence->atom.size;
    sequence->atom.type = sequenceType;
    sequence->body.unit = 0;
    sequence->body.pad = 0;
    lv2_atom_sequence_clear(sequence);
    return capacity;
}

/// Bytes of a channel message with this status; 0 for what VST 2 MIDI events do not carry.
uint32_t channelMessageSize(uint8_t status) {
    switch (status & 0xF0) {
    case 0x80:
    case 0x90:
    case 0xA0:
    case 0xB0:
    case 0xE0:
        return 3;
    case 0xC0:
    case 0xD0:
        return 2;
    default:
        return 0;
    }
}

} // namespace

Lv2Plugin::Lv2Plugin(const LV2_URID_Map& map)
    : urid{map.map(map.handle, LV2_ATOM__Sequence),  map.map(map.handle, LV2_ATOM__Chunk),
           map.map(map.handle, LV2_MIDI__MidiEvent), map.map(map.handle, kStateKeyUri),
           map.map(map.handle, LV2_ATOM__Object),    map.map(map.handle, LV2_ATOM__Int),
           map.map(map.handle, kMidiMapRequestUri),  map.map(map.handle, kCommandUri),
           map.map(map.handle, kParameterUri)},
      reportUrid(map), effect(std::make_unique<APlugin>(&Lv2Plugin::hostCallback)),
      midiRecords(std::make_unique<VstMidiEvent[]>(kMaxQueued)),
      midiListStorage(
          std::make_unique<std::byte[]>(sizeof(VstEvents) + (kMaxQueued - 2) * sizeof(VstEvent*))) {
    effect->getAeffect()->user = this;
    midiList = new (midiListStorage.get()) VstEvents{};
    for (int32_t i = 0; i < APlugin::kNumParams; ++i)
        lastApplied[i].store(effect->getParameter(i), relaxed);
    // No report yet: the first block with the notify port connected sends one.
    lastReport.learning = -2;
}

Lv2Plugin::~Lv2Plugin() = default;

std::unique_ptr<Lv2Plugin> Lv2Plugin::create(double sampleRate,
                                             const LV2_Feature* const* features) {
    const LV2_URID_Map* map = findMap(features);
    if (!map) return nullptr;
    auto instance = std::make_unique<Lv2Plugin>(*map);
    // The plug-in ignores rates that are no rate and holds the rest within its range.
    instance->effect->setSampleRate(static_cast<float>(sampleRate));
    const uint32_t wanted =
        std::min(std::max(announcedMaxBlock(features, *map), kReservedFrames), kMostReservedFrames);
    instance->pieceLimit =
        instance->effect->reserveFrames(static_cast<int32_t>(wanted)) ? wanted : kInitialFrames;
    return instance;
}

intptr_t VSTCALLBACK Lv2Plugin::hostCallback(AEffect* effect, int32_t opcode, int32_t /*index*/,
                                             intptr_t /*value*/, void* ptr, float /*opt*/) {
    auto* self = effect ? static_cast<Lv2Plugin*>(effect->user) : nullptr;
    if (opcode == audioMasterVersion) return 2400;
    if (self && opcode == audioMasterProcessEvents && ptr)
        self->passMidiOut(*static_cast<const VstEvents*>(ptr));
    return 0;
}

void Lv2Plugin::connectPort(uint32_t port, void* data) {
    switch (port) {
    case InL:
    case InR:
        audioIn[port - InL] = static_cast<const float*>(data);
        break;
    case OutL:
    case OutR:
        audioOut[port - OutL] = static_cast<float*>(data);
        break;
    case MidiIn:
        midiIn = static_cast<const LV2_Atom_Sequence*>(data);
        break;
    case MidiOut:
        midiOut = static_cast<LV2_Atom_Sequence*>(data);
        break;
    case Notify:
        notify = static_cast<LV2_Atom_Sequence*>(data);
        break;
    default:
        if (port >= FirstControl && port < ControlEnd)
            controls[port - FirstControl] = static_cast<const float*>(data);
        break;
    }
}

void Lv2Plugin::activate() {
    effect->suspend();
    effect->resume();
}

void Lv2Plugin::deactivate() {
    effect->suspend();
}

void Lv2Plugin::applyControls() {
    for (int32_t i = 0; i < APlugin::kNumParams; ++i) {
        if (!controls[i]) continue;
        const float v = *controls[i];
        if (std::isnan(v) || v == lastApplied[i].load(relaxed)) continue;
        lastApplied[i].store(v, relaxed);
        effect->setParameter(i, v);
    }
}

void Lv2Plugin::beginMidiOut() {
    midiOutCapacity = openOutput(midiOut, urid.atomSequence);
    lastOutFrame = 0;
}

bool Lv2Plugin::midiInReadable() const {
    return midiIn && midiIn->atom.type == urid.atomSequence &&
           midiIn->atom.size >= sizeof(LV2_Atom_Sequence_Body);
}

void Lv2Plugin::applyRequests() {
    if (!midiInReadable()) return;
    forEachEvent(*midiIn, [this](const LV2_Atom_Event& ev) {
        if (ev.body.type != urid.atomObject || ev.body.size < sizeof(LV2_Atom_Object_Body)) return;
        const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&ev.body);
        if (object->body.otype != urid.midiMapRequest) return;
        std::optional<int32_t> command, parameter;
        const auto* end = reinterpret_cast<const uint8_t*>(&object->body) + object->atom.size;
        LV2_ATOM_OBJECT_FOREACH(object, prop) {
            // A property reaching past its object ends the object.
            if (reinterpret_cast<const uint8_t*>(prop + 1) > end ||
                prop->value.size >
                    static_cast<size_t>(end - reinterpret_cast<const uint8_t*>(prop + 1)))
                break;
            if (prop->value.type != urid.atomInt || prop->value.size != sizeof(int32_t)) continue;
            const int32_t value = reinterpret_cast<const LV2_Atom_Int&>(prop->value).body;
            if (prop->key == urid.command) command = value;
            if (prop->key == urid.parameter) parameter = value;
        }
        if (command == LearnParameter && parameter && *parameter >= -1 &&
            *parameter < APlugin::kNumParams)
            effect->midiLearnParam.store(*parameter, relaxed);
        else if (command == ReportMidiMap)
            reportWanted = true;
        else if (command == ClearMidiMap)
            effect->clearMidiMap();
        else if (command == DefaultMidiMap)
            effect->setDefaultMidiMap();
    });
}

void Lv2Plugin::queueMidiIn(uint32_t start, uint32_t end, uint32_t frames) {
    if (!midiInReadable()) return;
    int32_t count = 0;
    forEachEvent(*midiIn, [&](const LV2_Atom_Event& ev) {
        if (count == kMaxQueued) return;
        if (ev.body.type != urid.midiEvent || ev.body.size == 0 || ev.body.size > 3) return;
        // Frames outside the block belong to no block: they count as its first or last frame.
        const int64_t frame = std::clamp<int64_t>(ev.time.frames, 0, int64_t{frames} - 1);
        if (frame < start || frame >= end) return;
        VstMidiEvent& record = midiRecords[count];
        record = VstMidiEvent{};
        record.type = kVstMidiType;
        record.byteSize = sizeof(VstMidiEvent);
        record.deltaFrames = static_cast<int32_t>(frame - start);
        std::memcpy(record.midiData, LV2_ATOM_BODY_CONST(&ev.body), ev.body.size);
        // The list's storage holds kMaxQueued slots past the two that VstEvents declares.
        VstEvent** slots = midiList->events;
        slots[count] = reinterpret_cast<VstEvent*>(&record);
        ++count;
    });
    if (count == 0) return;
    midiList->numEvents = count;
    effect->processEvents(midiList);
}

void Lv2Plugin::passMidiOut(const VstEvents& events) {
    if (!midiOut || midiOutCapacity == 0) return;
    for (int32_t i = 0; i < events.numEvents && i < 2; ++i) {
        const VstEvent* event = events.events[i];
        if (!event || event->type != kVstMidiType) continue;
        const auto& midi = *reinterpret_cast<const VstMidiEvent*>(event);
        const auto status = static_cast<uint8_t>(midi.midiData[0]);
        const uint32_t size = channelMessageSize(status);
        if (size == 0) continue;
        struct {
            LV2_Atom_Event header;
            uint8_t bytes[4];
        } out{};
        // Sequences run forward in time; the events passed on follow the ones handled.
        const int64_t frame = int64_t{pieceStart} + effect->midiEventPosition();
        lastOutFrame =
            std::clamp<int64_t>(frame, lastOutFrame, int64_t{pieceStart} + pieceFrames - 1);
        out.header.time.frames = lastOutFrame;
        out.header.body.type = urid.midiEvent;
        out.header.body.size = size;
        std::memcpy(out.bytes, midi.midiData, size);
        lv2_atom_sequence_append_event(midiOut, midiOutCapacity, &out.header);
    }
}

void Lv2Plugin::reportMap(uint32_t frames) {
    const uint32_t capacity = openOutput(notify, urid.atomSequence);
    if (capacity == 0) return;
    MapReport now{};
    for (int cc = 0; cc < midimap::kControllers; ++cc)
        now.map[cc] = effect->midiCcMap[cc].load(relaxed);
    now.learning = effect->midiLearnParam.load(relaxed);
    if (!reportWanted && now == lastReport) return;
    // A buffer too small for it leaves the report wanted for a later block.
    if (!appendMapReport(*notify, capacity, frames > 0 ? frames - 1 : 0, reportUrid, now)) return;
    lastReport = now;
    reportWanted = false;
}

void Lv2Plugin::run(uint32_t frames) {
    applyControls();
    applyRequests();
    beginMidiOut();
    process(frames);
    // Learning happens while the block is processed: the report follows it.
    reportMap(frames);
}

void Lv2Plugin::process(uint32_t frames) {
    if (frames == 0) return;
    if (!audioIn[0] || !audioIn[1] || !audioOut[0] || !audioOut[1]) {
        // Nothing to read from or nowhere to write: connected outputs give silence.
        for (float* out : audioOut)
            if (out) std::fill_n(out, frames, 0.0f);
        return;
    }
    for (uint32_t start = 0; start < frames; start += pieceLimit) {
        const uint32_t length = std::min(pieceLimit, frames - start);
        pieceStart = start;
        pieceFrames = length;
        queueMidiIn(start, start + length, frames);
        float* inputs[2] = {const_cast<float*>(audioIn[0] + start),
                            const_cast<float*>(audioIn[1] + start)};
        float* outputs[2] = {audioOut[0] + start, audioOut[1] + start};
        effect->processReplacing(inputs, outputs, static_cast<int32_t>(length));
    }
}

LV2_State_Status Lv2Plugin::save(LV2_State_Store_Function store, LV2_State_Handle handle) {
    if (!store) return LV2_STATE_ERR_UNKNOWN;
    SavedState state;
    state.program = effect->getProgram();
    for (int32_t i = 0; i < APlugin::kNumParams; ++i)
        state.values[i] = effect->getParameter(i);
    for (int32_t i = 0; i < APlugin::kNumParams; ++i)
        state.portValues[i] = lastApplied[i].load(relaxed);
    const StateBytes bytes = encodeState(state);
    return store(handle, urid.stateKey, bytes.data(), bytes.size(), urid.atomChunk,
                 LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status Lv2Plugin::restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
    if (!retrieve) return LV2_STATE_ERR_UNKNOWN;
    size_t size = 0;
    uint32_t type = 0;
    uint32_t flags = 0;
    const void* data = retrieve(handle, urid.stateKey, &size, &type, &flags);
    if (!data) return LV2_STATE_ERR_NO_PROPERTY;
    if (type != urid.atomChunk) return LV2_STATE_ERR_BAD_TYPE;
    const std::optional<SavedState> state = decodeState(data, size);
    if (!state) return LV2_STATE_ERR_UNKNOWN;
    effect->setProgram(state->program);
    for (int32_t i = 0; i < APlugin::kNumParams; ++i)
        effect->setParameter(i, state->values[i]);
    for (int32_t i = 0; i < APlugin::kNumParams; ++i)
        lastApplied[i].store(state->portValues[i], relaxed);
    return LV2_STATE_SUCCESS;
}

} // namespace lv2glue

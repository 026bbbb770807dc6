#include "lv2/Lv2MapReport.h"

#include <cstring>

#include <lv2/atom/util.h>

#include "lv2/Lv2Ports.h"

namespace lv2glue {
namespace {

// The whole event, laid out as atoms are (every atom padded to 8 bytes): one object with the map
// as a vector of Ints and the parameter being learnt as an Int.
struct ReportEvent {
    LV2_Atom_Event event; // its body is the object's atom header
    LV2_Atom_Object_Body object;
    LV2_Atom_Property_Body mapKey; // its value is the vector's atom header
    LV2_Atom_Vector_Body vector;
    int32_t map[midimap::kControllers];
    LV2_Atom_Property_Body learningKey;
    int32_t learning;
    int32_t pad;
};
static_assert(sizeof(ReportEvent) % 8 == 0);

bool isParameterOrNone(int32_t value) {
    return value >= -1 && value < midimap::kParams;
}

} // namespace

MapReportUrids::MapReportUrids(const LV2_URID_Map& m)
    : atomObject(m.map(m.handle, LV2_ATOM__Object)), atomVector(m.map(m.handle, LV2_ATOM__Vector)),
      atomInt(m.map(m.handle, LV2_ATOM__Int)), mapState(m.map(m.handle, kMidiMapStateUri)),
      map(m.map(m.handle, kMapUri)), learning(m.map(m.handle, kLearningUri)) {}

uint32_t mapReportEventSize() {
    return sizeof(ReportEvent);
}

bool appendMapReport(LV2_Atom_Sequence& sequence, uint32_t capacity, int64_t frame,
                     const MapReportUrids& urid, const MapReport& report) {
    ReportEvent e{};
    e.event.time.frames = frame;
    e.event.body = {sizeof(ReportEvent) - sizeof(LV2_Atom_Event), urid.atomObject};
    e.object = {0, urid.mapState};
    e.mapKey = {urid.map, 0, {sizeof e.vector + sizeof e.map, urid.atomVector}};
    e.vector = {sizeof(int32_t), urid.atomInt};
    std::memcpy(e.map, report.map.data(), sizeof e.map);
    e.learningKey = {urid.learning, 0, {sizeof(int32_t), urid.atomInt}};
    e.learning = report.learning;
    return lv2_atom_sequence_append_event(&sequence, capacity, &e.event) != nullptr;
}

std::optional<MapReport> readMapReport(const void* atom, uint32_t size,
                                       const MapReportUrids& urid) {
    if (!atom || size < sizeof(LV2_Atom_Object)) return std::nullopt;
    const auto* object = static_cast<const LV2_Atom_Object*>(atom);
    if (object->atom.type != urid.atomObject || object->body.otype != urid.mapState ||
        object->atom.size > size - sizeof(LV2_Atom) ||
        object->atom.size < sizeof(LV2_Atom_Object_Body))
        return std::nullopt;
    MapReport report{};
    bool haveMap = false, haveLearning = false;
    const auto* end = reinterpret_cast<const uint8_t*>(&object->body) + object->atom.size;
    LV2_ATOM_OBJECT_FOREACH(object, prop) {
        const auto* value = reinterpret_cast<const uint8_t*>(prop + 1);
        // A property reaching past its object ends the object.
        if (value > end || prop->value.size > static_cast<size_t>(end - value)) break;
        if (prop->key == urid.map && prop->value.type == urid.atomVector &&
            prop->value.size == sizeof(LV2_Atom_Vector_Body) + sizeof report.map) {
            LV2_Atom_Vector_Body vector;
            std::memcpy(&vector, value, sizeof vector);
            if (vector.child_size != sizeof(int32_t) || vector.child_type != urid.atomInt) continue;
            std::memcpy(report.map.data(), value + sizeof vector, sizeof report.map);
            haveMap = true;
        } else if (prop->key == urid.learning && prop->value.type == urid.atomInt &&
                   prop->value.size == sizeof(int32_t)) {
            std::memcpy(&report.learning, value, sizeof report.learning);
            haveLearning = true;
        }
    }
    if (!haveMap || !haveLearning || !isParameterOrNone(report.learning)) return std::nullopt;
    for (int32_t parameter : report.map)
        if (!isParameterOrNone(parameter)) return std::nullopt;
    return report;
}

} // namespace lv2glue

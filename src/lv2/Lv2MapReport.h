#pragma once
// The instance's controller map as the editor sees it, which may live in another process: an
// atom:Object on the notify port whenever the map or the parameter being learnt changes, and
// when the editor asks. The editor reads it from bytes the host hands over.

#include <cstdint>
#include <optional>

#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include "plugin/uPluginMidiMap.h"

namespace lv2glue {

struct MapReport {
    midimap::CcMap map; // parameter of each controller, -1 for none
    int32_t learning;   // the parameter being learnt, -1 for none
    bool operator==(const MapReport&) const = default;
};

struct MapReportUrids {
    LV2_URID atomObject, atomVector, atomInt, mapState, map, learning;
    explicit MapReportUrids(const LV2_URID_Map& m);
};

/// Bytes of the event that appendMapReport adds.
uint32_t mapReportEventSize();

/// Adds the report at frame to a sequence whose body holds capacity bytes; false when it does
/// not fit (nothing is written then).
bool appendMapReport(LV2_Atom_Sequence& sequence, uint32_t capacity, int64_t frame,
                     const MapReportUrids& urid, const MapReport& report);

/// The report in size bytes at atom, or nothing when they are not one: a wrong type or length,
/// a property that runs past its object, a parameter out of range.
std::optional<MapReport> readMapReport(const void* atom, uint32_t size, const MapReportUrids& urid);

} // namespace lv2glue

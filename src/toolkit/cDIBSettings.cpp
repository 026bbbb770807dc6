#include "toolkit/cDIBSettings.h"

#include "toolkit/cDIBCompressor.h"

namespace toolkit {

TDIBSettings::TDIBSettings(runtime::TComponent* owner) : runtime::TComponent(owner) {}

TDIBSettings::~TDIBSettings() {
    SetCurrentDIBCompressor(nullptr);
}

std::string TDIBSettings::DIBCompressor() const {
    TAbstractDIBCompressor* current = CurrentDIBCompressor();
    if (current == nullptr) return "";
    runtime::TGUID id;
    current->GetGUID(id);
    return runtime::GUIDToString(id);
}

void TDIBSettings::SetDIBCompressor(const std::string& text) {
    SetCurrentDIBCompressor(FindDIBCompressor(text));
}

} // namespace toolkit

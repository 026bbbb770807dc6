#pragma once
// The settings component placed on a form: chooses the compressor that images are written with.

#include "runtime/Components.h"

#include <string>

namespace toolkit {

class TDIBSettings : public runtime::TComponent {
public:
    explicit TDIBSettings(runtime::TComponent* owner);
    /// Destroying the settings leaves no current compressor.
    ~TDIBSettings() override;
    std::string ClassName() const override { return "TDIBSettings"; }

    /// The current compressor's identifier as GUID text, or "" when there is none.
    std::string DIBCompressor() const;
    /// The compressor FindDIBCompressor answers for text; none (silently) when nothing matches.
    void SetDIBCompressor(const std::string& text);
};

} // namespace toolkit

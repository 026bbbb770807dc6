// Untrusted template streams into LoadTemplate of a control with two image links, text, float,
// character and object properties. A stream that loads must save and load again. The same bytes
// go in as stored feature parameters too: bytes that load must write back the same bytes.

#include "platform/headless/Headless.h"
#include "runtime/Forms.h"
#include "runtime/Properties.h"
#include "runtime/Streams.h"
#include "toolkit/cDIBControl.h"
#include "toolkit/cDIBFeatures.h"
#include "toolkit/cDIBPanel.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

using namespace toolkit;

class Target : public TCustomDIBControl {
public:
    explicit Target(runtime::TComponent* owner) : TCustomDIBControl(owner) {
        static const bool published = [] {
            runtime::PublishClass<Target>("TFuzzTarget", "TCustomDIBControl")
                .Object("IndexMain", "TDIBImageLink",
                        [](Target& t) -> runtime::TPersistent* { return t.main; })
                .Object("IndexOther", "TDIBImageLink",
                        [](Target& t) -> runtime::TPersistent* { return t.other; })
                .String("Label", &Target::Label, &Target::SetLabel)
                .Float("Ratio", &Target::Ratio, &Target::SetRatio)
                .Object("Offset", "TPointProperty",
                        [](Target& t) -> runtime::TPersistent* { return &t.offset; });
            return true;
        }();
        (void)published;
        main = CreateImageLink();
        other = CreateImageLink();
        for (const char* name : {"Opacity", "Accelerator", "Label", "Ratio", "Offset"})
            RegisterTemplateProperty(name);
    }
    std::string ClassName() const override { return "TFuzzTarget"; }
    const std::string& Label() const { return label; }
    void SetLabel(const std::string& value) { label = value; }
    long double Ratio() const { return ratio; }
    void SetRatio(long double value) { ratio = value; }

    TDIBImageLink* main = nullptr;
    TDIBImageLink* other = nullptr;
    TPointProperty offset;
    std::string label;
    long double ratio = 0;
};

struct World {
    platform::HeadlessSession headless;
    int host = 0;
    std::unique_ptr<runtime::TForm> form;
    TDIBContainer* box = nullptr;
    World() {
        form = runtime::MakeForm<runtime::TForm>(nullptr);
        form->SetParentWindow(&host);
        box = runtime::TComponent::Create<TDIBContainer>(form.get());
        box->SetParent(form.get());
    }
};

World& world() {
    static World w;
    return w;
}

void checkFeatureParameters(Target& target, const std::uint8_t* data, std::size_t size) {
    TDIBFeatures& features = DIBFeaturesOf(target);
    TDIBFeatureItem* item = features.Add();
    try {
        item->LoadFeatureParameters(data, size);
    } catch (const EFeatureError&) {
        return; // a clear refusal is a defined outcome
    }
    const std::vector<std::uint8_t> written = item->DIBFeatureParameters();
    TDIBFeatureItem* again = features.Add();
    again->LoadFeatureParameters(written.data(), written.size()); // must read back
    if (again->DIBFeatureParameters() != written ||
        again->FeatureClassName() != item->FeatureClassName())
        std::abort();
    features.Clear();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    World& w = world();
    // Fresh components per input, so that image lists do not grow across runs.
    auto* list = runtime::TComponent::Create<TDIBImageList>(w.form.get());
    auto* target = runtime::TComponent::Create<Target>(w.form.get());
    target->SetDIBImageList(list);
    bool loaded = false;
    runtime::TReadOnlyMemoryStream in(data, size);
    try {
        target->LoadTemplate(in);
        loaded = true;
    } catch (const runtime::Exception&) {
        // a clear refusal is a defined outcome
    }
    if (loaded) {
        runtime::TMemoryStream saved;
        target->SaveTemplate(saved);
        saved.SetPosition(0);
        auto* again = runtime::TComponent::Create<Target>(w.form.get());
        again->SetDIBImageList(list);
        again->LoadTemplate(saved); // what we wrote must read back: an escape here is a fault
        if (again->Opacity() != target->Opacity() || again->Label() != target->Label() ||
            again->offset.X() != target->offset.X() || again->offset.Y() != target->offset.Y())
            std::abort();
        runtime::TComponent::Free(again);
    }
    checkFeatureParameters(*target, data, size);
    runtime::TComponent::Free(target);
    runtime::TComponent::Free(list);
    return 0;
}

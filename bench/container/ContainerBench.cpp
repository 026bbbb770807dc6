// Repainting a container shaped like the editor's: 491 x 323, one full-window control showing a
// frame of a 27-frame strip, and ten small images with alpha above it. Reports the time of a
// full repaint, of the repaint after one small control moved, and the heap allocations per
// paint once the buffers have their size.
#include "CountingAllocator.h"
#include "platform/headless/Headless.h"
#include "runtime/Forms.h"
#include "toolkit/cDIBControl.h"
#include "toolkit/cDIBPanel.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace toolkit;

constexpr int kWidth = 491, kHeight = 323, kFrames = 27;

class Strip : public TCustomDIBControl {
public:
    using TCustomDIBControl::TCustomDIBControl;
    TMemoryDIB* strip = nullptr;
    int frame = 13;

protected:
    void Paint() override { strip->DrawGlyph(0, 0, *PaintBuffer(), kFrames, frame); }
};

class Picture : public TCustomDIBControl {
public:
    using TCustomDIBControl::TCustomDIBControl;
    TMemoryDIB* image = nullptr;

protected:
    void Paint() override { image->Draw(0, 0, image->Width(), image->Height(), *PaintBuffer()); }
};

struct Editor {
    platform::HeadlessSession headless;
    int host = 0;
    std::unique_ptr<runtime::TForm> form;
    TDIBContainer* box = nullptr;
    TMemoryDIB strip{kWidth * kFrames, kHeight};
    std::vector<std::unique_ptr<TMemoryDIB>> images;
    std::vector<Picture*> pictures;

    Editor() {
        headless.setAutoPaint(false);
        form = runtime::MakeForm<runtime::TForm>(nullptr);
        form->SetParentWindow(&host);
        form->SetBounds(0, 0, kWidth, kHeight);
        box = runtime::TComponent::Create<TDIBContainer>(form.get());
        box->SetParent(form.get());
        box->SetBounds(0, 0, kWidth, kHeight);
        for (int y = 0; y < kHeight; ++y) {
            std::uint8_t* row = strip.RowPointer(y);
            for (int x = 0; x < kWidth * kFrames; ++x) {
                row[x * 4] = static_cast<std::uint8_t>(x);
                row[x * 4 + 1] = static_cast<std::uint8_t>(y);
                row[x * 4 + 2] = static_cast<std::uint8_t>(x ^ y);
                row[x * 4 + 3] = 255;
            }
        }
        auto* background = runtime::TComponent::Create<Strip>(form.get());
        background->strip = &strip;
        background->SetBounds(0, 0, kWidth, kHeight);
        for (int i = 0; i < 10; ++i) {
            auto image = std::make_unique<TMemoryDIB>(36 + i * 2, 40);
            for (int y = 0; y < image->Height(); ++y) {
                std::uint8_t* row = image->RowPointer(y);
                for (int x = 0; x < image->Width(); ++x) {
                    row[x * 4] = static_cast<std::uint8_t>(40 * i);
                    row[x * 4 + 1] = static_cast<std::uint8_t>(x * 6);
                    row[x * 4 + 2] = static_cast<std::uint8_t>(y * 6);
                    row[x * 4 + 3] = static_cast<std::uint8_t>((x + y) * 3);
                }
            }
            image->SetMasked(true);
            auto* picture = runtime::TComponent::Create<Picture>(form.get());
            picture->image = image.get();
            picture->SetBounds(20 + (i % 5) * 90, 40 + (i / 5) * 150, image->Width(),
                               image->Height());
            pictures.push_back(picture);
            images.push_back(std::move(image));
        }
        form->ShowForm();
        paint();
    }
    void paint() {
        headless.updateWindow(box->Handle());
        headless.resetBlitCounts();
    }
};

Editor& editor() {
    static Editor e;
    return e;
}

void FullRepaint(benchmark::State& state) {
    Editor& e = editor();
    std::size_t allocated = 0;
    for (auto _ : state) {
        e.box->Invalidate();
        const long before = wadling_test::allocationCount.load();
        e.paint();
        allocated += static_cast<std::size_t>(wadling_test::allocationCount.load() - before);
    }
    state.counters["allocs_per_paint"] =
        static_cast<double>(allocated) / static_cast<double>(state.iterations());
}
BENCHMARK(FullRepaint)->Unit(benchmark::kMicrosecond);

void RepaintAfterSmallMove(benchmark::State& state) {
    Editor& e = editor();
    Picture* moving = e.pictures[3];
    const int left = moving->Left();
    int step = 0;
    std::size_t allocated = 0;
    for (auto _ : state) {
        step ^= 1;
        moving->SetLeft(left + step * 3); // old and new rectangles
        const long before = wadling_test::allocationCount.load();
        e.paint();
        allocated += static_cast<std::size_t>(wadling_test::allocationCount.load() - before);
    }
    state.counters["allocs_per_paint"] =
        static_cast<double>(allocated) / static_cast<double>(state.iterations());
}
BENCHMARK(RepaintAfterSmallMove)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

// Control templates: round trips between controls and image lists, the fixed layout around the
// images, and damaged streams.
#include "ContainerFixture.h"

#include "runtime/GUID.h"
#include "runtime/Streams.h"
#include "toolkit/cDIBCompressor.h"

#include <cmath>
#include <cstring>
#include <functional>

using namespace toolkit;
using namespace toolkit::testing;

namespace {

std::uint32_t u32At(runtime::TMemoryStream& s, std::size_t offset) {
    const std::uint8_t* p = s.Memory() + offset;
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool contains(runtime::TMemoryStream& s, const std::string& text) {
    const auto* begin = s.Memory();
    const auto* end = begin + s.Size();
    return std::search(begin, end, text.begin(), text.end()) != end;
}

class TemplateTest : public ContainerTest {
protected:
    void SetUp() override {
        ContainerTest::SetUp();
        source = runtime::TComponent::Create<TDIBImageList>(form.get());
        for (int i = 0; i < 3; ++i) {
            TDIBImagesItem* item = source->DIBImages().Add();
            item->DIB().SetSize(3 + i, 2);
            for (int y = 0; y < 2; ++y)
                for (int x = 0; x < 3 + i; ++x) {
                    std::uint8_t* p = item->DIB().RowPointer(y) + x * 4;
                    p[0] = static_cast<std::uint8_t>(10 * i + x);
                    p[1] = static_cast<std::uint8_t>(y);
                    p[2] = 200;
                    p[3] = static_cast<std::uint8_t>(50 + x);
                }
            item->SetDisplayName("picture " + std::to_string(i));
        }
        source->DIBImages().Items(2)->DIB().SetMasked(true);
        original = make("original", {5, 5, 45, 35}, 0x0000FF);
        original->SetDIBImageList(source);
        original->ImageA->SetDIBIndex(2);
        original->ImageB->SetDIBIndex(2);
        original->SetOpacity(77);
        original->SetAccelerator('q');
        original->SetLabel("hello");
        original->SetRatio(1.0L / 3.0L);
        original->Offset.SetX(3);
        original->Offset.SetY(-4);
        for (const char* name : {"Opacity", "Accelerator", "Label", "Ratio", "Offset"})
            original->RegisterTemplateProperty(name);

        target = runtime::TComponent::Create<TDIBImageList>(form.get());
        copy = make("copy", {0, 0, 10, 10}, 0);
        copy->SetDIBImageList(target);
    }

    runtime::TMemoryStream save(Swatch* control) {
        runtime::TMemoryStream stream;
        control->SaveTemplate(stream);
        stream.SetPosition(0);
        return stream;
    }

    TDIBImageList* source = nullptr;
    TDIBImageList* target = nullptr;
    Swatch* original = nullptr;
    Swatch* copy = nullptr;
};

bool samePixels(TAbstractSuperDIB& a, TAbstractSuperDIB& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int y = 0; y < a.Height(); ++y)
        if (std::memcmp(a.RowPointer(y), b.RowPointer(y), static_cast<std::size_t>(a.Width()) * 4))
            return false;
    return true;
}

TEST_F(TemplateTest, TwoLinksOnOneImageCarryOneImageAndTheirPropertiesIntoAnotherList) {
    runtime::TMemoryStream stream = save(original);
    EXPECT_EQ(u32At(stream, 16), 1u) << "N: one distinct image";
    EXPECT_EQ(u32At(stream, 20), 2u) << "M: two link records";

    copy->LoadTemplate(stream);
    EXPECT_EQ(stream.Remaining(), 0);
    ASSERT_EQ(target->DIBImages().Count(), 1);
    TDIBImagesItem* item = target->DIBImages().Items(0);
    EXPECT_TRUE(samePixels(item->DIB(), source->DIBImages().Items(2)->DIB()));
    EXPECT_TRUE(item->DIB().Masked());
    EXPECT_EQ(item->DisplayName(), "picture 2");
    EXPECT_EQ(copy->ImageA->DIBIndex(), 0);
    EXPECT_EQ(copy->ImageB->DIBIndex(), 0);
    EXPECT_EQ(copy->Width(), 40);
    EXPECT_EQ(copy->Height(), 30);
    EXPECT_EQ(copy->Opacity(), 77);
    EXPECT_EQ(copy->Accelerator(), 'q');
    EXPECT_EQ(copy->Label(), "hello");
    EXPECT_EQ(copy->Ratio(), 1.0L / 3.0L) << "80-bit values come back exactly";
    EXPECT_EQ(copy->Offset.X(), 3);
    EXPECT_EQ(copy->Offset.Y(), -4);
    EXPECT_FALSE(copy->IsLoading()) << "end-of-loading handling ran";

    const std::string guid =
        runtime::GUIDToString(runtime::TGUID::FromBytes(stream.Memory())) + ":0";
    EXPECT_EQ(item->TemplateFilename, guid);
}

TEST_F(TemplateTest, LoadingTheSameTemplateAgainReusesTheItems) {
    runtime::TMemoryStream stream = save(original);
    copy->LoadTemplate(stream);
    target->DIBImages().Items(0)->DIB().Fill(0);
    Swatch* third = make("third", {0, 0, 5, 5}, 0);
    third->SetDIBImageList(target);
    stream.SetPosition(0);
    third->LoadTemplate(stream);
    ASSERT_EQ(target->DIBImages().Count(), 1);
    EXPECT_EQ(third->ImageA->DIBIndex(), 0);
    EXPECT_TRUE(
        samePixels(target->DIBImages().Items(0)->DIB(), source->DIBImages().Items(2)->DIB()))
        << "the picture is read again into the same item";

    runtime::TMemoryStream fresh = save(original);
    third->LoadTemplate(fresh);
    EXPECT_EQ(target->DIBImages().Count(), 2) << "a new save has a new identifier";
}

TEST_F(TemplateTest, DistinctImagesAreNumberedInTheOrderOfTheLinks) {
    original->ImageA->SetDIBIndex(1);
    original->ImageB->SetDIBIndex(0);
    runtime::TMemoryStream stream = save(original);
    EXPECT_EQ(u32At(stream, 16), 2u);
    copy->LoadTemplate(stream);
    ASSERT_EQ(target->DIBImages().Count(), 2);
    EXPECT_TRUE(samePixels(target->DIBImages().Items(copy->ImageA->DIBIndex())->DIB(),
                           source->DIBImages().Items(1)->DIB()));
    EXPECT_TRUE(samePixels(target->DIBImages().Items(copy->ImageB->DIBIndex())->DIB(),
                           source->DIBImages().Items(0)->DIB()));
}

TEST_F(TemplateTest, WithoutValidLinksNoImagesAreStoredAndNoListIsNeeded) {
    original->ImageA->SetDIBIndex(-1);
    original->ImageB->SetDIBIndex(7); // not in the list
    runtime::TMemoryStream stream = save(original);
    EXPECT_EQ(u32At(stream, 16), 0u);
    EXPECT_EQ(u32At(stream, 20), 0u);
    Swatch* bare = make("bare", {0, 0, 5, 5}, 0);
    bare->LoadTemplate(stream);
    EXPECT_EQ(bare->Opacity(), 77);

    original->ImageA->SetDIBIndex(0);
    runtime::TMemoryStream withImage = save(original);
    try {
        bare->LoadTemplate(withImage);
        FAIL() << "loaded images without a list";
    } catch (const EDIBControlError& e) {
        EXPECT_STREQ(e.what(), "No DIB image list has been assigned.");
    }
}

TEST_F(TemplateTest, ImagesAreStoredUnpackedWhileLZHIsSelectedAndTheSelectionStays) {
    TAbstractDIBCompressor* lzh = FindDIBCompressor("{BC0C10FC-E045-41E7-A37C-B86AF21320B8}");
    ASSERT_NE(lzh, nullptr);
    SetCurrentDIBCompressor(lzh);
    runtime::TMemoryStream stream = save(original);
    EXPECT_EQ(CurrentDIBCompressor(), lzh);
    EXPECT_FALSE(contains(stream, "DIBCMP"));

    // A save that fails puts the selection back too.
    class Failing : public runtime::TMemoryStream {
    public:
        std::size_t Write(const void*, std::size_t) override { return 0; }
    } failing;
    EXPECT_THROW(original->SaveTemplate(failing), runtime::EWriteError);
    EXPECT_EQ(CurrentDIBCompressor(), lzh);
    SetCurrentDIBCompressor(nullptr);
}

TEST_F(TemplateTest, RegisteringAPropertyThatCannotBeTemplatedFails) {
    try {
        original->RegisterTemplateProperty("Colourful");
        FAIL();
    } catch (const EDIBControlError& e) {
        EXPECT_STREQ(e.what(), "Class TSwatch is trying to register Colourful as a template "
                               "property, and that property does not exist.");
    }
    try {
        original->RegisterTemplateProperty("DIBImageList"); // its value is a component
        FAIL();
    } catch (const EDIBControlError& e) {
        EXPECT_STREQ(e.what(), "Attempting to template an invalid property type.");
    }
    const auto before = original->TemplateProperties();
    EXPECT_EQ(before.front(), "Width");
    EXPECT_EQ(before[1], "Height");
}

TEST(Extended, OneIsStoredInTheStandardEightyBitLayout) {
    platform::HeadlessSession headless;
    runtime::TMemoryStream stream;
    int host = 0;
    auto form = runtime::MakeForm<runtime::TForm>(nullptr);
    form->SetParentWindow(&host);
    auto* box = runtime::TComponent::Create<TDIBContainer>(form.get());
    box->SetParent(form.get());
    Swatch* s = runtime::TComponent::Create<Swatch>(form.get());
    s->SetRatio(1.0L);
    s->RegisterTemplateProperty("Ratio");
    s->SaveTemplate(stream);
    const std::uint8_t one[10] = {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F};
    const std::uint8_t* end = stream.Memory() + stream.Size();
    EXPECT_TRUE(std::equal(end - 10, end, one));
    s->SetRatio(-0.0078125L); // -2^-7
    stream.Clear();
    s->SaveTemplate(stream);
    const std::uint8_t small[10] = {0, 0, 0, 0, 0, 0, 0, 0x80, 0xF8, 0xBF};
    end = stream.Memory() + stream.Size();
    EXPECT_TRUE(std::equal(end - 10, end, small));
}

// ---- Damaged streams --------------------------------------------------------------------------

/// A template built by hand: identifier, counts, then the given bytes.
class Builder {
public:
    Builder(std::uint32_t images, std::uint32_t links) {
        for (int i = 0; i < 16; ++i)
            byte(static_cast<std::uint8_t>(i));
        u32(images);
        u32(links);
    }
    Builder& byte(std::uint8_t b) {
        s.WriteBuffer(&b, 1);
        return *this;
    }
    Builder& u32(std::uint32_t v) {
        s.WriteUInt32LE(v);
        return *this;
    }
    Builder& text(const std::string& t) {
        u32(static_cast<std::uint32_t>(t.size()));
        if (!t.empty()) s.WriteBuffer(t.data(), t.size());
        return *this;
    }
    Builder& link(const std::string& name, const std::string& display, std::uint32_t image) {
        return text(name).text(display).u32(image);
    }
    Builder& integer(const std::string& name, std::int32_t value) {
        return text(name).u32(4).u32(static_cast<std::uint32_t>(value));
    }
    Builder& raw(const runtime::TMemoryStream& other, std::size_t from, std::size_t to) {
        s.WriteBuffer(other.Memory() + from, to - from);
        return *this;
    }
    runtime::TMemoryStream& done() {
        s.SetPosition(0);
        return s;
    }
    runtime::TMemoryStream s;
};

TEST_F(TemplateTest, UnknownNamesAndMisfitValuesAreSkippedByTheirSize) {
    Builder b(0, 2);
    b.link("NoSuchLink", "", 0).link("ImageA", "x", 5); // the image number is out of range
    b.u32(5);
    b.integer("Nope", 99);
    b.text("Opacity").u32(8).u32(1).u32(0); // wrong size for an integer
    b.text("Label").u32(9).u32(7).byte('a').byte('b').byte('c').byte('d').byte('e'); // bad length
    b.integer("Opacity", 12);
    b.text("Ratio").u32(4).u32(0); // wrong size for a float
    copy->SetLabel("kept");
    copy->LoadTemplate(b.done());
    EXPECT_EQ(copy->Opacity(), 12);
    EXPECT_EQ(copy->Label(), "kept");
    EXPECT_EQ(copy->Ratio(), 0);
    EXPECT_EQ(copy->ImageA->DIBIndex(), -1);
    EXPECT_EQ(b.s.Remaining(), 0);
}

TEST_F(TemplateTest, CountsBeyondTheStreamAreRefusedBeforeAnythingIsMade) {
    for (auto [images, links] :
         {std::pair<std::uint32_t, std::uint32_t>{0xFFFFFFFFu, 0}, {0, 0xFFFFFFFFu}}) {
        Builder b(images, links);
        EXPECT_THROW(copy->LoadTemplate(b.done()), EDIBControlError);
        EXPECT_EQ(target->DIBImages().Count(), 0);
    }
    Builder b(0, 0);
    b.u32(0x7FFFFFFFu);
    EXPECT_THROW(copy->LoadTemplate(b.done()), EDIBControlError);
    Builder longName(0, 0);
    longName.u32(1).u32(0xFFFFFFF0u);
    EXPECT_THROW(copy->LoadTemplate(longName.done()), EDIBControlError);
}

TEST_F(TemplateTest, EveryTruncationRaisesAClearError) {
    runtime::TMemoryStream whole = save(original);
    for (std::size_t cut = 0; cut < static_cast<std::size_t>(whole.Size()); ++cut) {
        runtime::TMemoryStream part;
        part.WriteBuffer(whole.Memory(), cut);
        part.SetPosition(0);
        Swatch* victim = make("v", {0, 0, 5, 5}, 0);
        victim->SetDIBImageList(target);
        EXPECT_THROW(victim->LoadTemplate(part), runtime::Exception) << "cut at " << cut;
        runtime::TComponent::Free(victim);
    }
}

TEST_F(TemplateTest, ADamagedImageComponentRaises) {
    runtime::TMemoryStream whole = save(original);
    runtime::TMemoryStream damaged;
    damaged.WriteBuffer(whole.Memory(), static_cast<std::size_t>(whole.Size()));
    damaged.Memory()[24] = 'X'; // the image component's signature
    damaged.SetPosition(0);
    EXPECT_THROW(copy->LoadTemplate(damaged), EDIBControlError);
}

TEST(Wrappers, ASurfaceAndAPointReadBackThroughTheirComponentStreams) {
    TMemoryDIB picture(5, 4);
    picture.Fill(0x336699);
    picture.SetOpacity(90);
    picture.SetAngle(30);
    picture.ImageFilename = "a.bmp";
    TDIBWrapper writer(nullptr);
    writer.SetDIB(&picture);
    runtime::TMemoryStream stream;
    writer.WriteToStream(stream);

    TMemoryDIB back;
    TDIBWrapper reader(nullptr);
    reader.SetDIB(&back);
    stream.SetPosition(0);
    reader.ReadFromStream(stream);
    EXPECT_TRUE(samePixels(back, picture));
    EXPECT_EQ(back.Opacity(), 90);
    EXPECT_EQ(back.Angle(), 30);
    EXPECT_EQ(back.ImageFilename, "a.bmp");

    TPointProperty point, other;
    point.SetX(-7);
    point.SetY(12);
    TPersistentWrapper pointWriter(nullptr);
    pointWriter.SetPersistent(&point);
    runtime::TMemoryStream pointStream;
    pointWriter.WriteToStream(pointStream);
    TPersistentWrapper pointReader(nullptr);
    pointReader.SetPersistent(&other);
    pointStream.SetPosition(0);
    pointReader.ReadFromStream(pointStream);
    EXPECT_EQ(other.X(), -7);
    EXPECT_EQ(other.Y(), 12);
}

} // namespace

#include "toolkit/cDIBAnimMgr.h"
#include "toolkit/cDIBImageList.h"

#include "runtime/Picture.h"
#include "runtime/Streams.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <vector>

using namespace toolkit;

namespace {

struct Notice {
    int index;
    TDIBImageChange kind;
    bool operator==(const Notice&) const = default;
};

// A list of `count` items, each a 2 x 1 surface whose first blue byte is its number.
class ImageListFixture : public ::testing::Test {
protected:
    void fill(int count) {
        for (int i = 0; i < count; ++i) {
            TDIBImagesItem* item = list.DIBImages().Add();
            item->DIB().SetSize(2, 1);
            item->DIB().Bits()[0] = static_cast<std::uint8_t>(i);
        }
    }
    TDIBImageLink& link(int index) {
        links.push_back(std::make_unique<TDIBImageLink>(&owner));
        TDIBImageLink& l = *links.back();
        l.SetDIBIndex(index);
        l.SetDIBImageList(&list);
        l.OnImageChanged = [this, &l](runtime::TPersistent* sender, int i, TDIBImageChange k) {
            EXPECT_EQ(sender, &l);
            notices[&l].push_back({i, k});
        };
        return l;
    }
    runtime::TComponent owner{nullptr};
    TDIBImageList list{nullptr};
    std::vector<std::unique_ptr<TDIBImageLink>> links;
    std::map<TDIBImageLink*, std::vector<Notice>> notices;
};

} // namespace

TEST_F(ImageListFixture, InvalidIndicesYieldNoImageAndNoError) {
    fill(10);
    TAbstractSuperDIB* image = nullptr;
    EXPECT_FALSE(list.GetImage(-1, image));
    EXPECT_FALSE(list.GetImage(10, image));
    EXPECT_EQ(image, nullptr);
    TDIBImageLink unattached(&owner);
    EXPECT_FALSE(unattached.GetImage(image));
    EXPECT_FALSE(unattached.IsValid());
    list.DIBImages().Add(); // an item without pixels
    EXPECT_FALSE(list.GetImage(10, image));
}

TEST_F(ImageListFixture, AttachingALinkNotifiesItOnceForItsOwnIndex) {
    fill(10);
    int calls = 0;
    TDIBImageLink l(&owner);
    l.OnImageChanged = [&](runtime::TPersistent*, int index, TDIBImageChange kind) {
        ++calls;
        EXPECT_EQ(index, 4);
        EXPECT_EQ(kind, icChanged);
    };
    l.SetDIBIndex(4);
    EXPECT_EQ(calls, 1); // the index change itself
    l.SetDIBImageList(&list);
    EXPECT_EQ(calls, 2);
    l.SetDIBImageList(&list);
    EXPECT_EQ(calls, 3); // re-attaching is a new attachment
}

TEST_F(ImageListFixture, TwoFetchesShareOneScratchSurfaceThatShowsTheLastPicture) {
    fill(3);
    TAbstractSuperDIB* first = nullptr;
    TAbstractSuperDIB* second = nullptr;
    ASSERT_TRUE(list.GetImage(1, first));
    EXPECT_EQ(first->Bits()[0], 1);
    ASSERT_TRUE(list.GetImage(2, second));
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->Bits()[0], 2);
    // No copy: the scratch surface draws the item's own pixels.
    EXPECT_EQ(second->Bits(), list.DIBImages().Items(2)->DIB().Bits());
}

TEST_F(ImageListFixture, DeletingItem3OfFiveMovesAndClearsLinks) {
    fill(5);
    TDIBImageLink& on2 = link(2);
    TDIBImageLink& on3 = link(3);
    TDIBImageLink& on4 = link(4);
    notices.clear();
    list.DIBImages().Delete(3);
    EXPECT_EQ(on2.DIBIndex(), 2);
    EXPECT_EQ(on3.DIBIndex(), -1);
    EXPECT_EQ(on4.DIBIndex(), 3);
    EXPECT_EQ(notices[&on3], (std::vector<Notice>{{3, icDeleted}}));
    EXPECT_TRUE(notices[&on2].empty());
    EXPECT_TRUE(notices[&on4].empty());
}

TEST_F(ImageListFixture, MovingItem0ToPosition2RotatesTheLinks) {
    fill(4);
    TDIBImageLink& on0 = link(0);
    TDIBImageLink& on1 = link(1);
    TDIBImageLink& on2 = link(2);
    TDIBImageLink& on3 = link(3);
    notices.clear();
    list.DIBImages().Items(0)->SetIndex(2);
    EXPECT_EQ(on0.DIBIndex(), 2);
    EXPECT_EQ(on1.DIBIndex(), 0);
    EXPECT_EQ(on2.DIBIndex(), 1);
    EXPECT_EQ(on3.DIBIndex(), 3);
    for (const auto& [l, got] : notices)
        EXPECT_TRUE(got.empty()); // moves fire nothing
    list.DIBImages().Move(3, 1);  // and backwards
    EXPECT_EQ(on3.DIBIndex(), 1);
    EXPECT_EQ(on1.DIBIndex(), 0);
    EXPECT_EQ(on2.DIBIndex(), 2);
    EXPECT_EQ(on0.DIBIndex(), 3);
}

TEST_F(ImageListFixture, InsertingBeforeALinkedItemKeepsTheLinkOnItsPicture) {
    fill(3);
    TDIBImageLink& on1 = link(1);
    list.DIBImages().Insert(0);
    EXPECT_EQ(on1.DIBIndex(), 2);
    TAbstractSuperDIB* image = nullptr;
    ASSERT_TRUE(on1.GetImage(image));
    EXPECT_EQ(image->Bits()[0], 1);
}

TEST_F(ImageListFixture, ChangingAPictureNotifiesOnlyTheLinksOnIt) {
    fill(3);
    TDIBImageLink& on1 = link(1);
    TDIBImageLink& on2 = link(2);
    notices.clear();
    list.DIBImages().Items(1)->DIB().SetOpacity(10);
    EXPECT_EQ(notices[&on1], (std::vector<Notice>{{1, icChanged}}));
    EXPECT_TRUE(notices[&on2].empty());
}

TEST_F(ImageListFixture, LinksOfAnOwnerBeingDestroyedHearNothing) {
    fill(2);
    runtime::TComponent dying(nullptr);
    TDIBImageLink l(&dying);
    l.SetDIBIndex(1);
    l.SetDIBImageList(&list);
    int calls = 0;
    l.OnImageChanged = [&](runtime::TPersistent*, int, TDIBImageChange) { ++calls; };
    dying.IncludeState(runtime::csDestroying);
    list.DIBImages().Delete(1);
    EXPECT_EQ(calls, 0);
}

TEST(ImageList, DestroyingTheListDetachesItsLinksAndTheirScratchImages) {
    TDIBImageLink l(nullptr);
    TAbstractSuperDIB* image = nullptr;
    {
        TDIBImageList list(nullptr);
        list.DIBImages().Add()->DIB().SetSize(1, 1);
        l.SetDIBImageList(&list);
        l.SetDIBIndex(0);
        EXPECT_TRUE(l.GetImage(image));
    }
    EXPECT_EQ(l.DIBImageList(), nullptr);
    EXPECT_FALSE(l.GetImage(image));
}

TEST(ImageList, LinkAssignmentCopiesIndexAndList) {
    TDIBImageList list(nullptr);
    TDIBImageLink a(nullptr), b(nullptr);
    a.SetDIBIndex(3);
    a.SetDIBImageList(&list);
    b.Assign(&a);
    EXPECT_EQ(b.DIBIndex(), 3);
    EXPECT_EQ(b.DIBImageList(), &list);
}

TEST(ImageList, TemplateItemsAreFoundByNameAndNumberOrAdded) {
    TDIBImageList list(nullptr);
    TDIBImagesItem* a = list.FindOrAddTemplateItem("knob.dtp", 2);
    EXPECT_EQ(a->TemplateFilename, "knob.dtp:2");
    EXPECT_EQ(list.FindOrAddTemplateItem("knob.dtp", 2), a);
    EXPECT_NE(list.FindOrAddTemplateItem("knob.dtp", 3), a);
    EXPECT_EQ(list.DIBImages().Count(), 2);
}

TEST(ImageList, ItemsStartAsTheDesignSaysAndRetrievalDecidesWhatIsStored) {
    TDIBImageList list(nullptr);
    TDIBImagesItem* item = list.DIBImages().Add();
    EXPECT_EQ(item->DisplayName(), "TDIBImagesItem");
    EXPECT_EQ(item->ImageRetrieval(), irInternal);
    EXPECT_FALSE(item->IsLoaded());
    EXPECT_FALSE(item->DIB().HasPixels());
    item->SetImageRetrieval(irLoadOnDemand);
    EXPECT_FALSE(item->DIB().StoreData);
    item->SetImageRetrieval(irInternal);
    EXPECT_TRUE(item->DIB().StoreData);
}

namespace {

std::filesystem::path writeBitmap(const std::filesystem::path& path, int w, int h, std::uint8_t v) {
    runtime::TPicture pic;
    pic.Width = w;
    pic.Height = h;
    pic.Pixels.assign(std::size_t(w) * h * 4, v);
    runtime::TFileStream file(path, runtime::TFileMode::fmCreate);
    runtime::SaveBitmap32(pic, file);
    return path;
}

} // namespace

TEST(ImageList, FilePicturesLoadOnDemandThroughTheTranslatedFolder) {
    const auto dir = std::filesystem::temp_directory_path() / "surfaces_imagelist";
    std::filesystem::create_directories(dir);
    writeBitmap(dir / "pic.bmp", 3, 2, 60);
    writeBitmap(dir / "mask.bmp", 3, 2, 200);

    TDIBImageList list(nullptr);
    TDIBImagesItem* item = list.DIBImages().Add();
    item->SetImageRetrieval(irLoadOnDemand);
    item->DIB().ImageFilename = "C:\\artwork\\pic.bmp";
    item->DIB().MaskFilename = "C:\\artwork\\mask.bmp";
    std::vector<std::string> folders;
    item->OnTranslateImagePath = [&](runtime::TPersistent*, std::string& folder) {
        folders.push_back(folder);
        folder = dir.string();
    };
    TDIBImageLink l(nullptr);
    l.SetDIBIndex(0);
    int changes = 0;
    l.OnImageChanged = [&](runtime::TPersistent*, int, TDIBImageChange) { ++changes; };
    l.SetDIBImageList(&list);
    changes = 0;

    TAbstractSuperDIB* image = nullptr;
    ASSERT_TRUE(l.GetImage(image));
    EXPECT_EQ(changes, 1); // one notice for the whole load
    EXPECT_TRUE(item->IsLoaded());
    EXPECT_EQ(image->Width(), 3);
    EXPECT_EQ(image->Bits()[0], 60);
    EXPECT_EQ(image->Bits()[3], 200); // alpha from the mask's blue
    EXPECT_EQ(folders, (std::vector<std::string>{"C:\\artwork\\", "C:\\artwork\\"}));
    EXPECT_EQ(item->DIB().ImageFilename, "C:\\artwork\\pic.bmp"); // stored name kept
    ASSERT_TRUE(l.GetImage(image));
    EXPECT_EQ(folders.size(), 2u); // loaded once

    TDIBImagesItem* missing = list.DIBImages().Add();
    missing->SetImageRetrieval(irLoadOnDemand);
    missing->DIB().ImageFilename = (dir / "none.bmp").string();
    EXPECT_THROW(list.GetImage(1, image), runtime::Exception);
    EXPECT_FALSE(missing->IsLoaded());

    TDIBImagesItem* onStart = list.DIBImages().Add();
    onStart->SetImageRetrieval(irLoadOnStart);
    onStart->DIB().ImageFilename = (dir / "pic.bmp").string();
    EXPECT_FALSE(onStart->IsLoaded());
    list.DIBImages().Delete(1);
    list.Loaded();
    EXPECT_TRUE(onStart->IsLoaded());
    std::filesystem::remove_all(dir);
}

TEST(Animation, FramesTakeTheListAndTellListenersOfRemovalsAndImageChanges) {
    TDIBImageList list(nullptr);
    list.DIBImages().Add()->DIB().SetSize(1, 1);
    list.DIBImages().Add()->DIB().SetSize(1, 1);
    TDIBAnimation animation(nullptr);
    TDIBFrameItem* f0 = animation.Frames().Add();
    TDIBFrameItem* f1 = animation.Frames().Add();
    EXPECT_EQ(f1->DisplayName(), "Frame 2");
    EXPECT_EQ(f0->Opacity, 255);
    EXPECT_EQ(f0->Scale, 100);
    f0->IndexImage().SetDIBIndex(0);
    f1->IndexImage().SetDIBIndex(1);
    std::vector<int> told;
    animation.AddListener([&](TDIBAnimation* sender, int frame) {
        EXPECT_EQ(sender, &animation);
        told.push_back(frame);
    });
    animation.SetDIBImageList(&list);
    EXPECT_EQ(f0->IndexImage().DIBImageList(), &list);
    EXPECT_EQ(told, (std::vector<int>{0, 1})); // each frame's link attached once
    told.clear();
    list.DIBImages().Items(1)->DIB().SetOpacity(3);
    EXPECT_EQ(told, (std::vector<int>{1}));
    told.clear();
    animation.Frames().Delete(0);
    EXPECT_EQ(told, (std::vector<int>{0}));
    EXPECT_EQ(f1->DisplayName(), "Frame 1");
}

TEST(Animation, AFreedImageListIsForgotten) {
    TDIBAnimation animation(nullptr);
    animation.Frames().Add();
    {
        TDIBImageList list(nullptr);
        animation.SetDIBImageList(&list);
    }
    EXPECT_EQ(animation.DIBImageList(), nullptr);
    EXPECT_EQ(animation.Frames().Items(0)->IndexImage().DIBImageList(), nullptr);
}

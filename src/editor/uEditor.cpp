#include "editor/uEditor.h"

#include "editor/art/ArtScale.h"
#include "editor/art/EditorArt.h"
#include "editor/uEditorArt.h"
#include "editor/uEditorScale.h"
#include "runtime/Dialogs.h"
#include "runtime/ScopedFlag.h"
#include "runtime/Shell.h"
#include "runtime/Streams.h"
#include "toolkit/cDIBFeatures.h"
#include "toolkit/cDIBStandardCompressors.h"

#include <algorithm>
#include <cmath>
#include <variant>

using platform::TColor;
using runtime::TComponent;
using runtime::TMouseButton;
using runtime::TPersistent;
using runtime::TShiftState;

namespace {

constexpr TColor kAqua = 0xFFFF00; // framework colours keep red in the low byte
constexpr TColor kWhite = 0xFFFFFF;

// Figure tops travel from kTopMost (highest value) down to the band's lowest top.
constexpr int kTopMost = 22;
constexpr int kEqLowest = 172;
constexpr int kMixLowest = 182;

// Image-list items: display name and stored transparent colour.
struct ImageItem {
    const char* name;
    TColor transparentColor;
};
constexpr ImageItem kImages[editorart::kImageCount] = {
    {"Wadling", 4539452}, {"EQ", 0},       {"Mix", 0},      {"Compression", 0}, {"Banner", 0},
    {"Listen", 0},        {"Wadling1", 0}, {"Wadling2", 0}, {"Wadling3", 0},    {"Wadling4", 0},
};

int roundEven(double value) {
    return static_cast<int>(std::nearbyint(value));
}

/// The row of the figure table for a tag: mirror slot in lastTop, lowest top, value scale.
struct FigureRow {
    int slot;
    int lowest;
    long double scale;
};

bool figureRow(std::intptr_t tag, FigureRow& row) {
    switch (tag) {
    case param::EQLo:
    case param::EQMid:
    case param::EQHi:
        row = {static_cast<int>(tag), kEqLowest, 150.0L};
        return true;
    case param::DryWet:
        row = {3, kMixLowest, 160.0L};
        return true;
    default:
        return false;
    }
}

/// (lowest - top) x (1 / scale), the factor in extended precision, the product to float32.
float valueFromTop(int top, const FigureRow& row) {
    return static_cast<float>(static_cast<long double>(row.lowest - top) * (1.0L / row.scale));
}

int topFromValue(float value, const FigureRow& row) {
    return row.lowest - roundEven(static_cast<double>(value) * static_cast<double>(row.scale));
}

// ---- The controls ----------------------------------------------------------------------------

using W = TPluginEditorWindow;

/// What an image control is for.
enum class ImageRole {
    Picture,         ///< sized to its image; a press marks its tag for MIDI learn
    Backdrop,        ///< the see-through strip along the top: no image, no menu
    Figure,          ///< dragged up and down like a fader
    ResettingFigure, ///< a figure that a double click puts back to the middle
};

/// One control of the window: the field that holds it (and so its class), its name, bounds,
/// image-list index and tag (the parameter it stands for, -1 for none).
struct ControlRow {
    std::variant<toolkit::TDIBKnob * W::*, toolkit::TDIBGlyphButton * W::*,
                 toolkit::TDIBImage * W::*>
        field;
    const char* name;
    int left, top, width, height;
    int image;
    std::intptr_t tag;
    ImageRole role = ImageRole::Picture;
};

constexpr int kNoImage = -1;

// In creation order, which is the order they are painted in (the knob is the whole picture).
constexpr ControlRow kControls[] = {
    {&W::kbComp, "kbComp", 0, 0, 491, 323, 0, param::Squeeze},
    {&W::DIBImage1, "DIBImage1", 0, 0, 490, 21, kNoImage, 0, ImageRole::Backdrop},
    {&W::EQs, "EQs", 25, 7, 128, 222, 1, param::EQLo},
    {&W::Mix, "Mix", 433, 7, 34, 222, 2, -1},
    {&W::Banner, "Banner", 4, 268, 482, 56, 4, -1},
    {&W::btnListen, "btnListen", 120, 235, 63, 37, 5, param::EQListen},
    {&W::Duck1, "Duck1", 118, 22, 46, 58, 6, param::EQHi, ImageRole::ResettingFigure},
    {&W::Duck2, "Duck2", 69, 22, 50, 66, 7, param::EQMid, ImageRole::ResettingFigure},
    {&W::Duck3, "Duck3", 17, 23, 44, 58, 8, param::EQLo, ImageRole::ResettingFigure},
    {&W::Duck4, "Duck4", 426, 182, 48, 50, 9, param::DryWet, ImageRole::Figure},
    {&W::Compression, "Compression", 276, 7, 44, 12, 3, param::EQLo},
};

/// Remembers the tag of the control pressed, for the MIDI learn of the menu.
runtime::TMouseEvent marksItsTag(W& window) {
    return [&window](TPersistent* sender, TMouseButton button, TShiftState shift, int x, int y) {
        window.EQsMouseDown(sender, button, shift, x, y);
    };
}

/// Design bounds at the window's density: the edges are scaled, so touching boxes still touch.
void setScaledBounds(runtime::TControl& control, int percent, int left, int top, int width,
                     int height) {
    using editorart::scaled;
    const int x = scaled(left, percent), y = scaled(top, percent);
    control.SetBounds(x, y, scaled(left + width, percent) - x, scaled(top + height, percent) - y);
}

void place(W& window, toolkit::TCustomDIBControl& control, const ControlRow& row) {
    control.SetName(row.name);
    setScaledBounds(control, window.Scale(), row.left, row.top, row.width, row.height);
    control.SetTag(row.tag);
    control.SetDIBImageList(window.DIBImageList1);
    control.SetDIBTabOrder(-1);
    control.SetPopupMenu(window.mnuSqzy);
}

void setUp(W& window, toolkit::TDIBKnob& knob, const ControlRow& row) {
    knob.IndexMain()->SetDIBIndex(row.image);
    knob.SetMin(0);
    knob.SetMax(400);
    knob.SetNumGlyphs(27);
    knob.SetPageSize(5);
    knob.SetSmallChange(1);
    knob.SetPosition(0);
    knob.SetUseFineTune(true);
    knob.SetPixelPercent(window.Scale());
    knob.OnChange = [&window](TPersistent* sender) { window.kbCompChange(sender); };
    knob.OnMouseDown = marksItsTag(window);
}

void setUp(W& window, toolkit::TDIBGlyphButton& button, const ControlRow& row) {
    button.Glyph()->SetDIBIndex(row.image);
    button.SetGroup(1);
    button.SetToggleDown(true);
    button.SetNumGlyphs(2);
    button.OnClick = [&window](TPersistent* sender) { window.btnListenClick(sender); };
    button.OnMouseDown = marksItsTag(window);
}

void makeFigure(W& window, toolkit::TDIBImage& figure, bool resets) {
    auto* move =
        static_cast<toolkit::TMoveableDIB*>(DIBFeaturesOf(figure).AddFeature("TMoveableDIB"));
    move->SetAllowHorizontal(false);
    move->SetAllowVertical(true);
    move->SetBorderSize(0);
    move->SetMouseButtons(toolkit::MouseButtonBit(TMouseButton::mbLeft));
    move->SetSnapSize(1);
    figure.OnMouseDown = [&window](TPersistent* s, TMouseButton b, TShiftState sh, int x, int y) {
        window.Duck1MouseDown(s, b, sh, x, y);
    };
    figure.OnMouseMove = [&window](TPersistent* s, TShiftState sh, int x, int y) {
        window.Duck1MouseMove(s, sh, x, y);
    };
    figure.OnMouseUp = [&window](TPersistent* s, TMouseButton b, TShiftState sh, int x, int y) {
        window.Duck1MouseUp(s, b, sh, x, y);
    };
    if (resets) figure.OnDblClick = [&window](TPersistent* s) { window.Duck1DblClick(s); };
}

void setUp(W& window, toolkit::TDIBImage& image, const ControlRow& row) {
    if (row.role == ImageRole::Backdrop) {
        image.SetPopupMenu(nullptr);
        image.SetOpacity(0);
        image.SetAutoSize(false);
        return;
    }
    image.IndexMain()->SetDIBIndex(row.image);
    image.SetAutoSize(true);
    if (row.role == ImageRole::Picture)
        image.OnMouseDown = marksItsTag(window);
    else
        makeFigure(window, image, row.role == ImageRole::ResettingFigure);
}

/// Makes the control of a row, in the window's components and in its field.
template <class Control>
void addControl(W& window, Control* W::*field, const ControlRow& row) {
    auto* made = TComponent::Create<Control>(&window);
    window.*field = made;
    place(window, *made, row);
    setUp(window, *made, row);
}

} // namespace

int TPluginEditorWindow::ClientWidthAt(int percent) {
    return editorart::scaled(kClientWidth, editorart::isSupportedScale(percent) ? percent : 100);
}

int TPluginEditorWindow::ClientHeightAt(int percent) {
    return editorart::scaled(kClientHeight, editorart::isSupportedScale(percent) ? percent : 100);
}

TPluginEditorWindow::TPluginEditorWindow(TComponent* owner, AParameterMirror& mirror, int percent)
    : TForm(owner), mirror(mirror), scale_(editorart::isSupportedScale(percent) ? percent : 100) {
    SetName("PluginEditorWindow");
    SetCaption("Tarvo");
    SetBorderStyle(runtime::TFormBorderStyle::bsNone);
    SetBounds(0, 0, ClientWidthAt(scale_), ClientHeightAt(scale_));
    SetPixelPercent(scale_);
    SetColor(kAqua);
    // Built whole: assigning the literal trips a false -Wrestrict of GCC 12 (MinGW i686).
    runtime::TFont font{.Name = std::string("MS Sans Serif")};
    font.SetSize(8);
    font.Color = kWhite;
    SetFont(font);
    OnCreate = [this](TPersistent* sender) { FormCreate(sender); };

    DIBSettings1 = TComponent::Create<toolkit::TDIBSettings>(this);
    DIBSettings1->SetName("DIBSettings1");
    DIBSettings1->SetDIBCompressor(toolkit::kLZHCompressorGUID);
    buildImageList();
    buildMenu();
    buildControls();
    Updater = TComponent::Create<toolkit::TDIBTimer>(this);
    Updater->SetName("Updater");
    Updater->SetInterval(100);
    Updater->SetOnTimer([this](TPersistent* sender) { UpdaterTimer(sender); });
}

TPluginEditorWindow::~TPluginEditorWindow() = default;

void TPluginEditorWindow::buildImageList() {
    DIBImageList1 = TComponent::Create<toolkit::TDIBImageList>(this);
    DIBImageList1->SetName("DIBImageList1");
    const auto art = editorart::unpackedArt(scale_);
    for (int i = 0; i < editorart::kImageCount; ++i) {
        toolkit::TDIBImagesItem* item = DIBImageList1->DIBImages().Add();
        item->SetDisplayName(kImages[i].name);
        item->SetImageRetrieval(toolkit::irInternal);
        toolkit::TMemoryDIB& dib = item->DIB();
        dib.BeginUpdate();
        dib.SetAngle(0);
        dib.SetAutoSize(false);
        dib.SetMasked(true);
        dib.SetOpacity(255);
        dib.SetScale(100.0L);
        dib.SetTransparent(false);
        dib.SetTransparentMode(toolkit::tmAuto);
        dib.SetTransparentColor(kImages[i].transparentColor);
        dib.SharePicture(art->picture(i));
        dib.EndUpdate();
    }
    pictures_ = art;
}

void TPluginEditorWindow::buildMenu() {
    mnuSqzy = TComponent::Create<runtime::TPopupMenu>(this);
    mnuSqzy->SetName("mnuSqzy");
    mnuSqzy->OnPopup = [this](TPersistent* sender) { mnuSqzyPopup(sender); };
    const auto item = [this](runtime::TMenuItem* parent, const char* name, const char* caption,
                             std::intptr_t tag) {
        auto* made = TComponent::Create<runtime::TMenuItem>(this);
        made->SetName(name);
        made->SetCaption(caption);
        made->SetTag(tag);
        parent->Add(made);
        return made;
    };
    runtime::TMenuItem* root = mnuSqzy->Items();
    const char* names[] = {"mnuSqeezy1", "mnuSqeezy2", "mnuSqeezy3", "mnuSqeezy4", "mnuSqeezy5"};
    const char* captions[] = {"Feathered", "Down", "Quacky", "Fuzzy", "Ugly"};
    runtime::TMenuItem** slots[] = {&mnuSqeezy1, &mnuSqeezy2, &mnuSqeezy3, &mnuSqeezy4,
                                    &mnuSqeezy5};
    for (int k = 0; k < 5; ++k) {
        runtime::TMenuItem* radio = item(root, names[k], captions[k], k);
        radio->SetRadioItem(true);
        radio->SetGroupIndex(1);
        radio->OnClick = [this](TPersistent* sender) { mnuSqeezy1Click(sender); };
        *slots[k] = radio;
    }
    mnuSqeezy1->SetChecked(true);
    mnuMIDISplit = item(root, "mnuMIDISplit", "-", 0);
    mnuMIDI = item(root, "mnuMIDI", "MIDI", 0);
    const auto learnClick = [this](TPersistent* sender) { mnuitmMIDILearnClick(sender); };
    mnuitmMIDILearn = item(mnuMIDI, "mnuitmMIDILearn", "MIDI Learn", 0);
    mnuitmShowMIDImap = item(mnuMIDI, "mnuitmShowMIDImap", "Show MIDI Mapping", 1);
    mnuitmResetMIDILearning = item(mnuMIDI, "mnuitmResetMIDILearning", "Reset MIDI Learning", 2);
    mnuitmRestoreDefaultMIDIMapping =
        item(mnuMIDI, "mnuitmRestoreDefaultMIDIMapping", "Restore Default MIDI Mapping", 3);
    for (runtime::TMenuItem* midi : {mnuitmMIDILearn, mnuitmShowMIDImap, mnuitmResetMIDILearning,
                                     mnuitmRestoreDefaultMIDIMapping})
        midi->OnClick = learnClick;
    mnuZoom = item(root, "mnuZoom", "Zoom", 0);
    const char* zoomNames[] = {"mnuZoomAutomatic", "mnuZoom100", "mnuZoom150", "mnuZoom200"};
    const char* zoomCaptions[] = {"Automatic", "100 %", "150 %", "200 %"};
    for (std::size_t k = 0; k < mnuZoomItems.size(); ++k) {
        const std::intptr_t tag = k == 0 ? editorscale::kAutomatic : editorart::kScales[k - 1];
        runtime::TMenuItem* zoom = item(mnuZoom, zoomNames[k], zoomCaptions[k], tag);
        zoom->SetRadioItem(true);
        zoom->SetGroupIndex(2);
        zoom->OnClick = [this](TPersistent* sender) { mnuZoomClick(sender); };
        mnuZoomItems[k] = zoom;
    }
}

void TPluginEditorWindow::buildControls() {
    DIBContainer1 = TComponent::Create<toolkit::TDIBContainer>(this);
    DIBContainer1->SetName("DIBContainer1");
    DIBContainer1->SetParent(this);
    setScaledBounds(*DIBContainer1, scale_, 0, 0, 491, 323);
    DIBContainer1->SetBorderDrawPosition(toolkit::bdOverControls);
    DIBContainer1->OnClick = [this](TPersistent* sender) { DIBContainer1Click(sender); };

    for (const ControlRow& row : kControls)
        std::visit([&](auto field) { addControl(*this, field, row); }, row.field);

    // Loading a form ends with Loaded on every component: auto sizes and features apply.
    for (int i = 0; i < ComponentCount(); ++i)
        if (TComponent* component = Components(i)) component->Loaded();
}

// ---- Handlers --------------------------------------------------------------------------------

void TPluginEditorWindow::FormCreate(TPersistent*) {
    dragging = false;
    lastTop.fill(0);
    lastSkweezy = 0;
    lastTag = -1;
}

void TPluginEditorWindow::WMEraseBkgnd(runtime::TMessage& message) {
    message.Result = 0;
}

void TPluginEditorWindow::EQsMouseDown(TPersistent* sender, TMouseButton, TShiftState, int, int) {
    lastTag = static_cast<std::int32_t>(static_cast<TComponent*>(sender)->Tag());
}

void TPluginEditorWindow::Duck1MouseDown(TPersistent* sender, TMouseButton, TShiftState, int, int) {
    dragging = true;
    lastTag = static_cast<std::int32_t>(static_cast<TComponent*>(sender)->Tag());
}

void TPluginEditorWindow::Duck1MouseUp(TPersistent*, TMouseButton, TShiftState, int, int) {
    dragging = false;
}

void TPluginEditorWindow::Duck1MouseMove(TPersistent* sender, TShiftState, int, int) {
    if (!dragging) return;
    auto* figure = static_cast<runtime::TControl*>(sender);
    const std::intptr_t tag = figure->Tag();
    const int lowest = tag == param::DryWet ? kMixLowest : kEqLowest;
    // The figure follows the pointer in screen pixels; its value comes from the design pixel
    // nearest, where the figure is put back: the drag is the design's at every density.
    const int top = std::clamp(editorart::designPixel(figure->Top(), scale_), kTopMost, lowest);
    if (editorart::scaled(top, scale_) != figure->Top())
        figure->SetTop(editorart::scaled(top, scale_));
    FigureRow row;
    if (!figureRow(tag, row)) return;
    if (top == lastTop[row.slot]) return;
    if (plugin) plugin->setParameterAutomated(static_cast<int32_t>(tag), valueFromTop(top, row));
    lastTop[row.slot] = top;
}

void TPluginEditorWindow::Duck1DblClick(TPersistent* sender) {
    if (plugin)
        plugin->setParameterAutomated(static_cast<int32_t>(static_cast<TComponent*>(sender)->Tag()),
                                      0.5f);
}

void TPluginEditorWindow::kbCompChange(TPersistent*) {
    if (updating || !plugin) return;
    plugin->setParameterAutomated(
        param::Squeeze, static_cast<float>(static_cast<long double>(kbComp->Position()) * 0.0025L));
}

void TPluginEditorWindow::btnListenClick(TPersistent*) {
    if (updating || !plugin) return;
    const float value = btnListen->Down() ? 0.0f : 1.0f;
    mirror[param::EQListen].store(value, std::memory_order_relaxed);
    plugin->setParameterAutomated(param::EQListen, value);
}

void TPluginEditorWindow::checkSkweezy(int k) {
    runtime::TMenuItem* items[] = {mnuSqeezy1, mnuSqeezy2, mnuSqeezy3, mnuSqeezy4, mnuSqeezy5};
    for (int i = 0; i < 5; ++i)
        items[i]->SetChecked(i == k);
}

void TPluginEditorWindow::mnuSqeezy1Click(TPersistent* sender) {
    if (updating || !plugin) return;
    const auto k = static_cast<std::int32_t>(static_cast<TComponent*>(sender)->Tag());
    if (k == lastSkweezy) return;
    lastSkweezy = k;
    plugin->setParameterAutomated(param::Skweezy, static_cast<float>(k) / 4.0f);
    checkSkweezy(k);
}

void TPluginEditorWindow::mnuSqzyPopup(TPersistent*) {
    mnuMIDISplit->SetVisible(lastTag >= 0);
    mnuMIDI->SetVisible(mnuMIDISplit->Visible());
    // Zoom goes with the part below the separator: the whole picture (the knob) shows it.
    mnuZoom->SetVisible(wrapper != nullptr && mnuMIDISplit->Visible());
    const int choice = wrapper ? wrapper->userScaleChoice() : editorscale::kAutomatic;
    for (runtime::TMenuItem* zoom : mnuZoomItems)
        zoom->SetChecked(zoom->Tag() == choice);
}

void TPluginEditorWindow::mnuitmMIDILearnClick(TPersistent* sender) {
    if (!plugin) return;
    switch (static_cast<TComponent*>(sender)->Tag()) {
    case 0:
        plugin->midiLearnParam.store(lastTag, std::memory_order_relaxed);
        break;
    case 1:
        runtime::MessageBox(plugin->getMidiMapText(), APlugin::kEffectName, runtime::MB_OK, this);
        break;
    case 2:
        plugin->clearMidiMap();
        break;
    case 3:
        plugin->setDefaultMidiMap();
        break;
    default:
        break;
    }
}

void TPluginEditorWindow::mnuZoomClick(TPersistent* sender) {
    if (!wrapper) return;
    // This window goes when the density changes: the wrapper applies the choice after the
    // menu's handlers are done.
    wrapper->chooseUserScale(static_cast<int>(static_cast<TComponent*>(sender)->Tag()));
}

void TPluginEditorWindow::DIBContainer1Click(TPersistent*) {
    runtime::ShellOpen(kMakerWebAddress, this);
}

void TPluginEditorWindow::UpdaterTimer(TPersistent*) {
    // Cleared on every way out: a tick that fails must not leave the handlers switched off.
    const runtime::TScopedFlag scope(updating);
    if (plugin) mirror.refreshFrom(*plugin);
    const auto value = [this](int index) { return mirror[index].load(std::memory_order_relaxed); };
    const auto follow = [&](toolkit::TDIBImage* figure, int index) {
        FigureRow row;
        figureRow(index, row);
        const int top = topFromValue(value(index), row);
        if (top == lastTop[row.slot]) return;
        lastTop[row.slot] = top;
        figure->SetTop(editorart::scaled(top, scale_));
    };
    follow(Duck3, param::EQLo);
    follow(Duck2, param::EQMid);
    follow(Duck1, param::EQHi);
    const int position = roundEven(static_cast<double>(value(param::Squeeze)) * 400.0);
    if (position != kbComp->Position()) kbComp->SetPosition(position);
    follow(Duck4, param::DryWet);
    const bool down = value(param::EQListen) > 0.5f;
    if (down != btnListen->Down()) btnListen->SetDown(down);
    const int k = roundEven(static_cast<double>(value(param::Skweezy)) * 4.0);
    if (k != lastSkweezy) {
        lastSkweezy = k;
        checkSkweezy(k);
    }
}

#include "platform/DrawnMenus.h"

#include <algorithm>
#include <vector>

namespace platform::detail {

namespace {

constexpr std::uint32_t kFace = 0xF0F0F0, kText = 0x000000, kSelected = 0x3366CC,
                        kSelectedText = 0xFFFFFF, kDisabled = 0x808080, kBorder = 0x606060,
                        kButtonFace = 0xE8E8E8, kButtonPressed = 0xD0D0D0;
// Design pixels.
constexpr int kItemHeight = 20, kSeparatorHeight = 7, kMarkWidth = 18, kArrowWidth = 16, kFrame = 1,
              kPadding = 2, kMenuMinWidth = 80, kTextRoom = 12, kSubOverlap = 2;
constexpr int kBoxMinWidth = 200, kBoxMargin = 20, kBoxRoom = 70, kButtonWidth = 80,
              kButtonHeight = 24, kButtonMargin = 12;

// The density of one menu or box: design pixels to screen pixels, edges rounded as the editor's
// pictures round theirs.
class Density {
public:
    explicit Density(int percent) : percent_(percent >= 1 ? percent : 100) {}
    int operator()(int design) const { return scaledEdge(design, percent_); }

private:
    int percent_;
};

// The colours above are 0xRRGGBB; surfaces take framework colours (0x00BBGGRR).
std::uint32_t rgb(std::uint32_t value) {
    return ((value & 0xFF) << 16) | (value & 0xFF00) | ((value >> 16) & 0xFF);
}

// The one modal loop: events go to `handle` until it answers (>= 0).
template <class Handler>
int runModal(PopupSystem& system, Handler handle) {
    for (;;) {
        PopupEvent event;
        if (!system.nextEvent(event)) continue;
        if (const int answer = handle(event); answer >= 0) return answer;
    }
}

bool selectable(const MenuEntry& e) {
    return !e.separator && e.enabled;
}

struct MenuLevel {
    explicit MenuLevel(Density d) : px(d) {}

    Density px;
    const std::vector<MenuEntry>* entries = nullptr;
    std::unique_ptr<PopupWindow> popup;
    TRect rect; ///< on the screen
    int selected = -1;
    std::vector<int> rows; ///< each entry's top in design pixels, then the last one's bottom

    bool contains(int x, int y) const { return rect.Contains(x, y); }

    int entryAt(int rootY) const {
        const int y = rootY - rect.Top;
        for (std::size_t i = 0; i < entries->size(); ++i)
            if (y >= px(rows[i]) && y < px(rows[i + 1])) return static_cast<int>(i);
        return -1;
    }

    // The next selectable entry from `from` in `direction`, wrapping; -1 when none.
    int step(int from, int direction) const {
        const int n = static_cast<int>(entries->size());
        int i = from;
        for (int k = 0; k < n; ++k) {
            i = i < 0 ? (direction > 0 ? 0 : n - 1) : (i + direction + n) % n;
            if (selectable((*entries)[static_cast<std::size_t>(i)])) return i;
        }
        return -1;
    }

    const MenuEntry* selectedEntry() const {
        return selected >= 0 ? &(*entries)[static_cast<std::size_t>(selected)] : nullptr;
    }
};

// A frame `thickness` wide inside [0, w) x [0, h).
void drawFrame(PixelSurface* s, int w, int h, int thickness, std::uint32_t colour) {
    surfaceFillRect(s, 0, 0, w, thickness, colour);
    surfaceFillRect(s, 0, h - thickness, w, h, colour);
    surfaceFillRect(s, 0, 0, thickness, h, colour);
    surfaceFillRect(s, w - thickness, 0, w, h, colour);
}

// The check or radio mark of an item whose top is `row` (design pixels).
void drawMark(PixelSurface* s, const MenuEntry& e, Density px, int row, std::uint32_t colour) {
    const int cx = kMarkWidth / 2 + 1, cy = row + kItemHeight / 2;
    if (e.radio) {
        surfaceFillRect(s, px(cx - 3), px(cy - 2), px(cx + 3), px(cy + 3), colour);
        surfaceFillRect(s, px(cx - 2), px(cy - 3), px(cx + 2), px(cy + 4), colour);
        return;
    }
    // Two strokes three design pixels thick, stacked one screen pixel at a time.
    const int thickness = px(cy + 2) - px(cy - 1);
    for (int k = 0; k < thickness; ++k) {
        surfaceLine(s, px(cx - 4), px(cy - 1) + k, px(cx - 1), px(cy + 2) + k, colour);
        surfaceLine(s, px(cx - 1), px(cy + 2) + k, px(cx + 5), px(cy - 4) + k, colour);
    }
}

// The sub-menu arrow: columns shrinking by a screen pixel at each end, from the right edge.
void drawArrow(PixelSurface* s, Density px, int width, int row, std::uint32_t colour) {
    const int x = width - px(kArrowWidth / 2 + 4), cy = row + kItemHeight / 2;
    for (int k = 0; px(cy - 3) + k < px(cy + 4) - k; ++k)
        surfaceFillRect(s, x + k, px(cy - 3) + k, x + k + 1, px(cy + 4) - k, colour);
}

void drawItem(PopupSystem& system, MenuLevel& level, std::size_t i, int width) {
    PixelSurface* s = level.popup->surface();
    const Density px = level.px;
    const MenuEntry& e = (*level.entries)[i];
    const int row = level.rows[i], top = px(row), bottom = px(level.rows[i + 1]);
    if (e.separator) {
        surfaceFillRect(s, px(3), px(row + 3), width - px(3), px(row + 4), rgb(kBorder));
        return;
    }
    const bool selected = static_cast<int>(i) == level.selected;
    const std::uint32_t text = !e.enabled ? kDisabled : selected ? kSelectedText : kText;
    surfaceFillRect(s, px(kFrame), top, width - px(kFrame), bottom,
                    rgb(selected ? kSelected : kFace));
    int tw = 0, th = 0;
    system.textExtent(e.caption, tw, th);
    level.popup->drawText(px(kMarkWidth + 2), top + (bottom - top - th) / 2, e.caption, text);
    if (e.checked) drawMark(s, e, px, row, rgb(text));
    if (!e.items.empty()) drawArrow(s, px, width, row, rgb(text));
}

void drawLevel(PopupSystem& system, MenuLevel& level) {
    PixelSurface* s = level.popup->surface();
    level.popup->clearTexts();
    const int w = level.rect.Right - level.rect.Left, h = level.rect.Bottom - level.rect.Top;
    surfaceFillRect(s, 0, 0, w, h, rgb(kFace));
    drawFrame(s, w, h, level.px(kFrame), rgb(kBorder));
    for (std::size_t i = 0; i < level.entries->size(); ++i)
        drawItem(system, level, i, w);
    level.popup->present();
}

// The open levels of one menu, the first level first.
class MenuStack {
public:
    MenuStack(PopupSystem& system, Density px) : system_(system), px_(px) {}

    bool open(const std::vector<MenuEntry>& entries, int x, int y) {
        auto level = std::make_unique<MenuLevel>(px_);
        level->entries = &entries;
        int width = px_(kMenuMinWidth), row = kPadding;
        for (const MenuEntry& e : entries) {
            level->rows.push_back(row);
            if (e.separator) {
                row += kSeparatorHeight;
                continue;
            }
            int tw = 0, th = 0;
            system_.textExtent(e.caption, tw, th);
            width = std::max(width, tw + px_(kMarkWidth + kArrowWidth + kTextRoom));
            row += kItemHeight;
        }
        level->rows.push_back(row);
        const int height = px_(row + kPadding);
        // Kept on the screen.
        int sw = 0, sh = 0;
        system_.screenSize(sw, sh);
        x = std::clamp(x, 0, std::max(0, sw - width));
        y = std::clamp(y, 0, std::max(0, sh - height));
        level->rect = {x, y, x + width, y + height};
        level->popup = system_.openPopup(level->rect, PopupKind::Menu, nullptr, {});
        if (level->popup == nullptr) return false;
        drawLevel(system_, *level);
        levels_.push_back(std::move(level));
        return true;
    }

    void closeFrom(std::size_t depth) {
        while (levels_.size() > depth)
            levels_.pop_back();
    }

    // The sub-menu of level `depth`'s selected entry, replacing deeper levels.
    void openSub(std::size_t depth) {
        closeFrom(depth + 1);
        const MenuLevel& level = *levels_[depth];
        const MenuEntry* e = level.selectedEntry();
        if (e == nullptr || e->items.empty() || !e->enabled) return;
        open(e->items, level.rect.Right - px_(kSubOverlap),
             level.rect.Top +
                 px_(level.rows[static_cast<std::size_t>(level.selected)] - kSubOverlap));
    }

    // -1 while open, 0 dismissed, else the chosen id.
    int handle(const PopupEvent& event) {
        switch (event.kind) {
        case PopupEvent::Kind::Exposed:
            for (const auto& level : levels_)
                if (level->popup.get() == event.window) level->popup->present();
            return -1;
        case PopupEvent::Kind::Moved:
            return hover(event.rootX, event.rootY);
        case PopupEvent::Kind::Pressed:
            // A press outside every level closes the menu.
            return std::any_of(levels_.begin(), levels_.end(),
                               [&](const auto& l) { return l->contains(event.rootX, event.rootY); })
                       ? -1
                       : 0;
        case PopupEvent::Kind::Released:
            return release(event.rootX, event.rootY);
        case PopupEvent::Kind::KeyPressed:
            return key(event.virtualKey);
        case PopupEvent::Kind::Closed:
            return 0;
        }
        return -1;
    }

    PopupWindow* top() const { return levels_.empty() ? nullptr : levels_.front()->popup.get(); }

private:
    MenuLevel* levelAt(int x, int y, std::size_t& depth) const {
        for (std::size_t i = levels_.size(); i-- > 0;)
            if (levels_[i]->contains(x, y)) {
                depth = i;
                return levels_[i].get();
            }
        return nullptr;
    }

    int hover(int x, int y) {
        std::size_t depth = 0;
        MenuLevel* level = levelAt(x, y, depth);
        if (level == nullptr) return -1;
        const int at = level->entryAt(y);
        if (at != level->selected &&
            (at < 0 || selectable((*level->entries)[static_cast<std::size_t>(at)]))) {
            level->selected = at;
            drawLevel(system_, *level);
            openSub(depth);
        }
        return -1;
    }

    int release(int x, int y) const {
        std::size_t depth = 0;
        const MenuLevel* level = levelAt(x, y, depth);
        const int at = level != nullptr ? level->entryAt(y) : -1;
        if (at < 0) return -1;
        const MenuEntry& e = (*level->entries)[static_cast<std::size_t>(at)];
        return selectable(e) && e.items.empty() ? e.id : -1;
    }

    int key(int virtualKey) {
        MenuLevel& level = *levels_.back();
        const std::size_t last = levels_.size() - 1;
        switch (virtualKey) {
        case VK_DOWN:
        case VK_UP:
            level.selected = level.step(level.selected, virtualKey == VK_DOWN ? 1 : -1);
            drawLevel(system_, level);
            return -1;
        case VK_RIGHT:
        case VK_RETURN: {
            const MenuEntry* e = level.selectedEntry();
            if (e == nullptr) return -1;
            if (!e->items.empty()) {
                openSub(last);
                if (levels_.size() > last + 1) {
                    MenuLevel& sub = *levels_.back();
                    sub.selected = sub.step(-1, 1);
                    drawLevel(system_, sub);
                }
                return -1;
            }
            return virtualKey == VK_RETURN && selectable(*e) ? e->id : -1;
        }
        case VK_LEFT:
            if (levels_.size() > 1) closeFrom(last);
            return -1;
        case VK_ESCAPE:
            if (levels_.size() == 1) return 0;
            closeFrom(last);
            return -1;
        default:
            return -1;
        }
    }

    PopupSystem& system_;
    Density px_;
    std::vector<std::unique_ptr<MenuLevel>> levels_;
};

} // namespace

int runPopupMenu(PopupSystem& system, int x, int y, const std::vector<MenuEntry>& items,
                 int percent) {
    if (items.empty()) return 0;
    const Density px(percent);
    system.setTextSize(px(kTextPixels));
    MenuStack menu(system, px);
    if (!menu.open(items, x, y)) return 0;
    system.grabInput(menu.top());
    const int chosen = runModal(system, [&menu](const PopupEvent& e) { return menu.handle(e); });
    menu.closeFrom(0);
    system.grabInput(nullptr);
    return chosen;
}

int runMessageBox(PopupSystem& system, WindowHandle owner, const std::string& text,
                  const std::string& caption, std::uint32_t flags, int percent) {
    const std::uint32_t style = flags & 0x0F;
    const int okAnswer = style == MB_YESNO || style == MB_YESNOCANCEL ? IDYES : IDOK;
    const int escapeAnswer = style == MB_OK ? IDOK : style == MB_YESNO ? IDNO : IDCANCEL;
    const std::string button = okAnswer == IDYES ? "Yes" : "OK";
    const Density px(percent);
    system.setTextSize(px(kTextPixels));
    // Line by line, as the system's own boxes show a text with line breaks (CR LF or LF).
    std::vector<std::string> lines;
    for (std::size_t from = 0;;) {
        const std::size_t end = text.find('\n', from);
        std::string line = text.substr(from, end == std::string::npos ? end : end - from);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        if (end == std::string::npos) break;
        from = end + 1;
    }
    int tw = 0, lineHeight = 0;
    for (const std::string& line : lines) {
        int w = 0, h = 0;
        system.textExtent(line, w, h);
        tw = std::max(tw, w);
        lineHeight = std::max(lineHeight, h);
    }
    const int th = lineHeight * static_cast<int>(lines.size());
    const int width = std::max(px(kBoxMinWidth), tw + px(2 * kBoxMargin)),
              height = th + px(kBoxRoom);
    const int buttonW = px(kButtonWidth), buttonH = px(kButtonHeight);
    const TRect buttonRect{(width - buttonW) / 2, height - buttonH - px(kButtonMargin),
                           (width + buttonW) / 2, height - px(kButtonMargin)};
    int sw = 0, sh = 0;
    system.screenSize(sw, sh);
    const int x = (sw - width) / 2, y = (sh - height) / 2;
    std::unique_ptr<PopupWindow> box =
        system.openPopup({x, y, x + width, y + height}, PopupKind::Dialog, owner, caption);
    if (box == nullptr) return 0;
    auto draw = [&](bool pressed) {
        PixelSurface* s = box->surface();
        box->clearTexts();
        surfaceFillRect(s, 0, 0, width, height, rgb(kFace));
        for (std::size_t k = 0; k < lines.size(); ++k)
            box->drawText(px(kBoxMargin), px(kBoxMargin) + lineHeight * static_cast<int>(k),
                          lines[k], kText);
        const int frame = px(kFrame);
        surfaceFillRect(s, buttonRect.Left, buttonRect.Top, buttonRect.Right, buttonRect.Bottom,
                        rgb(kBorder));
        surfaceFillRect(s, buttonRect.Left + frame, buttonRect.Top + frame,
                        buttonRect.Right - frame, buttonRect.Bottom - frame,
                        rgb(pressed ? kButtonPressed : kButtonFace));
        int bw = 0, bh = 0;
        system.textExtent(button, bw, bh);
        box->drawText((width - bw) / 2, buttonRect.Top + (buttonH - bh) / 2, button, kText);
        box->present();
    };
    draw(false);
    bool pressed = false;
    return runModal(system, [&](const PopupEvent& e) {
        if (e.window != box.get() && e.kind != PopupEvent::Kind::Closed) return -1;
        switch (e.kind) {
        case PopupEvent::Kind::Exposed:
            draw(pressed);
            return -1;
        case PopupEvent::Kind::Pressed:
            pressed = e.primary && buttonRect.Contains(e.x, e.y);
            draw(pressed);
            return -1;
        case PopupEvent::Kind::Released: {
            const bool clicked = pressed && buttonRect.Contains(e.x, e.y);
            pressed = false;
            draw(false);
            return clicked ? okAnswer : -1;
        }
        case PopupEvent::Kind::KeyPressed:
            if (e.virtualKey == VK_RETURN || e.virtualKey == VK_SPACE) return okAnswer;
            return e.virtualKey == VK_ESCAPE ? escapeAnswer : -1;
        case PopupEvent::Kind::Closed:
            return escapeAnswer;
        default:
            return -1;
        }
    });
}

} // namespace platform::detail

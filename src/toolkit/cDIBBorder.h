#pragma once
// A picture frame for a container: four edges, each made of two end pieces and a middle piece
// from an image list. The left and right edges run the full height; the top and bottom edges run
// between them.

#include "runtime/Components.h"
#include "runtime/Events.h"
#include "toolkit/cDIB.h"
#include "toolkit/cDIBImageList.h"

#include <memory>
#include <string>

namespace toolkit {

class TDIBBorder;

enum TDIBBorderDrawStyle { dsTile, dsStretch };

class TDIBBorderEdge : public runtime::TPersistent {
public:
    ~TDIBBorderEdge() override;
    std::string ClassName() const override { return "TDIBBorderEdge"; }
    /// DrawStyle, AutoCalcSize, Size and the three indices.
    void Assign(const runtime::TPersistent* source) override;

    /// The top (vertical edges) or left (horizontal edges) end piece.
    TDIBImageLink& IndexStart() { return *start_; }
    TDIBImageLink& IndexMiddle() { return *middle_; }
    /// The bottom or right end piece.
    TDIBImageLink& IndexEnd() { return *end_; }

    TDIBBorderDrawStyle DrawStyle() const { return drawStyle_; }
    void SetDrawStyle(TDIBBorderDrawStyle value);
    bool AutoCalcSize() const { return autoCalcSize_; }
    void SetAutoCalcSize(bool value);
    /// With AutoCalcSize, the largest width (vertical edges) or height (horizontal edges) of
    /// the valid images, 0 when none is valid; else the stored size (default 32).
    int Size() const;
    void SetSize(int value);
    bool Vertical() const { return vertical_; }

    /// Draws the edge into `rect` of `dest`: left / top aligned at the rectangle's start edge
    /// for the left and top edges, at its far edge for the right and bottom ones.
    void Draw(TAbstractSuperDIB& dest, const TRect& rect, bool farSide);

protected:
    TDIBBorderEdge(TDIBBorder* border, bool vertical);

private:
    friend class TDIBBorder;
    void setImageList(TCustomDIBImageList* list);
    void changed();
    /// Extent of an image across the edge (width for vertical edges), or -1.
    int across(const TDIBImageLink& link) const;

    TDIBBorder* border_;
    bool vertical_;
    std::unique_ptr<TDIBImageLink> start_, middle_, end_;
    TDIBBorderDrawStyle drawStyle_ = dsTile;
    bool autoCalcSize_ = true;
    int size_ = 32;
    std::unique_ptr<TMemoryDIB> stretched_;
};

class TDIBVertBorderEdge : public TDIBBorderEdge {
public:
    explicit TDIBVertBorderEdge(TDIBBorder* border) : TDIBBorderEdge(border, true) {}
    std::string ClassName() const override { return "TDIBVertBorderEdge"; }
};

class TDIBHorzBorderEdge : public TDIBBorderEdge {
public:
    explicit TDIBHorzBorderEdge(TDIBBorder* border) : TDIBBorderEdge(border, false) {}
    std::string ClassName() const override { return "TDIBHorzBorderEdge"; }
};

class TDIBBorder : public runtime::TComponent {
public:
    explicit TDIBBorder(runtime::TComponent* owner);
    ~TDIBBorder() override;
    std::string ClassName() const override { return "TDIBBorder"; }

    TDIBVertBorderEdge& BorderLeft() { return *left_; }
    TDIBVertBorderEdge& BorderRight() { return *right_; }
    TDIBHorzBorderEdge& BorderTop() { return *top_; }
    TDIBHorzBorderEdge& BorderBottom() { return *bottom_; }
    TCustomDIBImageList* DIBImageList() const { return imageList_; }
    void SetDIBImageList(TCustomDIBImageList* list);

    /// Draws the four edges into `dest` within `client` (left and right full height first).
    void DrawBorder(TAbstractSuperDIB& dest, const TRect& client);
    /// `client` less the four edge sizes.
    TRect ShrinkClientRect(const TRect& client) const;

    /// Any edge or picture changed (the container repaints).
    runtime::TNotifyEvent OnChange;

protected:
    void Notification(runtime::TComponent* component, runtime::TOperation operation) override;

private:
    friend class TDIBBorderEdge;
    void edgeChanged();

    std::unique_ptr<TDIBVertBorderEdge> left_, right_;
    std::unique_ptr<TDIBHorzBorderEdge> top_, bottom_;
    TCustomDIBImageList* imageList_ = nullptr;
};

} // namespace toolkit

// Where the main window puts its three parts when it is resized: the tree
// keeps its left, top and width and takes the height; the information panel
// keeps its size and sits at the bottom, under the list's left edge; the
// list takes the rest and ends 5 pixels above the panel.
#pragma once

namespace warden::console {

struct LayoutRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const LayoutRect&) const = default;
};

struct MainLayout {
    LayoutRect tree;
    LayoutRect list;
    LayoutRect panel;
};

// The margin around and between the parts, in pixels.
inline constexpr int kLayoutMargin = 5;

// The smallest area in which the tree, a list of a few rows and the whole
// information panel (which keeps its size) fit.
struct AreaSize {
    int width = 0, height = 0;
};
AreaSize MinimumMainArea(const LayoutRect& tree, int panelWidth, int panelHeight);

// Lays out an area of `width` by `height` pixels. `tree` gives the tree's
// left, top and width; `panelWidth` and `panelHeight` the panel's size.
// Sizes never go below zero, however small the area.
MainLayout ComputeMainLayout(int width, int height, const LayoutRect& tree, int panelWidth,
                             int panelHeight);

}  // namespace warden::console

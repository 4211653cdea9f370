#include "console/core/MainLayout.h"

#include <algorithm>

namespace warden::console {

namespace {
constexpr int kMinListHeight = 100;
}

AreaSize MinimumMainArea(const LayoutRect& tree, int panelWidth, int panelHeight) {
    return {tree.x + tree.width + kLayoutMargin + panelWidth + kLayoutMargin,
            tree.y + kMinListHeight + kLayoutMargin + panelHeight + kLayoutMargin};
}

MainLayout ComputeMainLayout(int width, int height, const LayoutRect& tree, int panelWidth,
                             int panelHeight) {
    MainLayout layout;
    layout.tree = tree;
    layout.tree.height = std::max(0, height - tree.y - kLayoutMargin);

    const int listLeft = tree.x + tree.width + kLayoutMargin;
    layout.panel = {listLeft, std::max(tree.y, height - kLayoutMargin - panelHeight), panelWidth,
                    panelHeight};

    layout.list.x = listLeft;
    layout.list.y = tree.y;
    layout.list.width = std::max(0, width - listLeft - kLayoutMargin);
    layout.list.height = std::max(0, layout.panel.y - kLayoutMargin - layout.list.y);
    return layout;
}

}  // namespace warden::console

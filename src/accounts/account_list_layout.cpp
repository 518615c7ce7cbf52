#include "accounts/account_list_layout.h"

#include <algorithm>
#include <cmath>

namespace quillet {

float CutAt0(float x) {
    return x < 0 ? 0 : x;
}

AccountsLayout AccountsResizeRule(float width, float height,
                                  const std::function<float(float)>& stored) {
    auto keep = [&](float x) { return stored ? stored(x) : x; };
    AccountsLayout l;
    l.ok_top = keep(CutAt0(height - kAccountsButtonHeight - 60));
    l.cancel_top = l.ok_top;
    l.ok_left = keep(CutAt0(width / 2 - kAccountsButtonWidth - 30));
    l.cancel_left = kAccountsButtonWidth + l.ok_left + 60;
    l.list_width = CutAt0(width);
    l.list_height = CutAt0(l.ok_top - 60 - kAccountsListTop);
    return l;
}

std::vector<float> ColumnWidths(const std::vector<std::string>& captions,
                                const std::vector<std::vector<std::string>>& rows,
                                const std::function<float(const std::string&)>& text_width) {
    constexpr float kMargin = 180;
    std::vector<float> widths;
    widths.reserve(captions.size());
    for (const auto& caption : captions) {
        widths.push_back(text_width(caption) + kMargin);
    }
    for (const auto& row : rows) {
        for (size_t c = 0; c < widths.size() && c < row.size(); ++c) {
            // nearbyint rounds halves to the even neighbour.
            const float cell = std::nearbyint(text_width(row[c]) + kMargin);
            if (cell > widths[c]) {
                widths[c] = cell;
            }
        }
    }
    return widths;
}

WindowRect CentreOver(const WindowRect& owner, float width, float height) {
    return {owner.left + (owner.width - width) / 2, owner.top + (owner.height - height) / 2, width,
            height};
}

WindowRect KeepWithin(const WindowRect& window, const WindowRect& area) {
    const auto within = [](float start, float size, float area_start, float area_size) {
        return std::max(area_start, std::min(start, area_start + area_size - size));
    };
    return {within(window.left, window.width, area.left, area.width),
            within(window.top, window.height, area.top, area.height), window.width, window.height};
}

}  // namespace quillet

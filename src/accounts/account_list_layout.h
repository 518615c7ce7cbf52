// The account dialog's layout rules, in twips: column widths that fit their texts, the dialog
// centred over the setup dialog, and the controls following the dialog's size.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quillet {

// x, or 0 when x is negative.
float CutAt0(float x);

// The fixed parts of the account dialog.
inline constexpr float kAccountsListLeft = 0;
inline constexpr float kAccountsListTop = 270;
inline constexpr float kAccountsButtonWidth = 1875;
inline constexpr float kAccountsButtonHeight = 435;

struct AccountsLayout {
    float ok_left = 0;
    float ok_top = 0;
    float cancel_left = 0;  // never clamped
    float cancel_top = 0;
    float list_width = 0;
    float list_height = 0;
};

// The layout for an inner size of `width` by `height`: both buttons centred as a pair 60 above
// the bottom, the list filling the room above them. `stored` gives a position as the window
// system keeps it (pixels round it), since Cancel and the list follow OK as it was placed.
AccountsLayout AccountsResizeRule(float width, float height,
                                  const std::function<float(float)>& stored = nullptr);

// The width of every column: 180 more than the widest of its caption (unrounded) and its
// cells (each rounded to whole twips, halves to even), measured by `text_width`. `rows` hold one
// text per column.
std::vector<float> ColumnWidths(const std::vector<std::string>& captions,
                                const std::vector<std::vector<std::string>>& rows,
                                const std::function<float(const std::string&)>& text_width);

struct WindowRect {
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
};

// Where a window of `width` by `height` goes to stand centred over `owner` (outer sizes);
// not kept within the screen (KeepWithin does that).
WindowRect CentreOver(const WindowRect& owner, float width, float height);

// `window` moved, no further than it must be, to lie within `area` (the screen's available
// area, without panels); the size is kept. A window wider or taller than the area is put at the
// area's left or top edge, so that its title bar and first column stay in reach.
WindowRect KeepWithin(const WindowRect& window, const WindowRect& area);

}  // namespace quillet

// The main window's resize rule, in twips.
#pragma once

#include <variant>

namespace quillet {

inline constexpr float kMainMinWidth = 4500;
inline constexpr float kMainMinHeight = 2200;

struct MainWindowSize {
    bool minimized = false;
    float outer_width = 0;   // frame included
    float outer_height = 0;  // frame and title bar included
    float client_width = 0;
    float client_height = 0;
};

struct SetOuterWidth {
    float width;
};
struct SetOuterHeight {
    float height;
};
struct MainLayout {
    float list_width;
    float list_height;
    float button_left;
    float button_top;
};
struct LeaveAsItIs {};

// What a resize does: nothing while minimized; a window narrower than the minimum width is
// widened to it (and lays out at the resize that follows), then likewise for the height;
// otherwise the list follows the window and the button is centred 60 above the bottom.
using ResizeAction = std::variant<LeaveAsItIs, SetOuterWidth, SetOuterHeight, MainLayout>;
ResizeAction MainResizeRule(const MainWindowSize& size);

// The fixed parts of the layout.
inline constexpr float kListLeft = 0;
inline constexpr float kListTop = 270;
inline constexpr float kButtonWidth = 1545;
inline constexpr float kButtonHeight = 495;

}  // namespace quillet

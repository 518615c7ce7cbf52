#include "app/shell/main_layout.h"

namespace quillet {

ResizeAction MainResizeRule(const MainWindowSize& size) {
    if (size.minimized) {
        return LeaveAsItIs{};
    }
    if (size.outer_width < kMainMinWidth) {
        return SetOuterWidth{kMainMinWidth};
    }
    if (size.outer_height < kMainMinHeight) {
        return SetOuterHeight{kMainMinHeight};
    }
    MainLayout layout{};
    // The outer width, not the client width, as the window always did.
    layout.list_width = size.outer_width - 120;
    layout.button_left = (size.client_width - kButtonWidth) / 2;
    layout.button_top = size.client_height - kButtonHeight - 60;
    layout.list_height = layout.button_top - kListTop - 60;
    return layout;
}

}  // namespace quillet

// The main window's form: the order list, the connection flag and the handlers of the window
// and of the order-notification control.
#pragma once

#include <string>

#include "app/order_events.h"
#include "app/order_list.h"

namespace quillet {

class Screen;
class SetupDialogSlot;

class formQuillet {
  public:
    // `setup` holds the setup dialog; `decimal_separator` is the user's, for prices. Both
    // `setup` and `screen` must outlive the form.
    formQuillet(SetupDialogSlot& setup, Screen& screen, std::string decimal_separator);

    // Every order line, in order of arrival; nothing removes one.
    OrderList List1;

    bool Connected() const { return connected_; }

    // Load: loads the setup dialog hidden, which reads the settings file.
    void Form_Load();
    // Unload: unloads the setup dialog, which writes the settings file.
    void Form_Unload();
    // "E-mail Setup...": shows the setup dialog modally.
    void cmdEmailSetup_Click();

    // The events of the order-notification control.
    void CVTOrders1_OrderPlaced(const OrderPlaced& event);
    void CVTOrders1_OrderCancelled(const OrderCancelled& event);
    void CVTOrders1_OrderModified(const OrderModified& event);
    void CVTOrders1_QueryConnected(QueryConnected& event);
    void CVTOrders1_Connect(Connect& event);
    void CVTOrders1_Disconnect();
    void CVTOrders1_Shutdown();
    // Show: brings the main window to the front.
    void Show_Request();
    // Runs the handler of whichever event it is; Answer is written back into `event`.
    void HandleEvent(OrderEvent& event);

    // Mails `buf` under the subject "CVT order # <orderid>" with the live settings, loading
    // the setup dialog first when it is not loaded. The outcome shows only in the dialog's
    // status line.
    void SendEmail(const std::string& orderid, const std::string& buf);

  private:
    SetupDialogSlot& setup_;
    Screen& screen_;
    std::string decimal_separator_;
    bool connected_ = false;
};

}  // namespace quillet

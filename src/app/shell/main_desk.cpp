#include "app/shell/main_desk.h"

#include <utility>

#include "settings/setup_dialog_slot.h"

namespace quillet {
namespace {

OutboxServices WithLiveSettings(OutboxServices services, const SetupDialogSlot& setup) {
    services.live_settings = [&setup] { return setup.Settings(); };
    services.password_pending = [&setup] { return setup.PasswordPending(); };
    return services;
}

}  // namespace

MainDesk::MainDesk(SetupDialogSlot& setup, Screen& screen, std::string decimal_separator,
                   OutboxServices services)
    : outbox(
          WithLiveSettings(services, setup),
          [this](std::optional<size_t> line, DeliveryState state, const std::string& detail) {
              form.ShowDelivery(line, state, detail);
          },
          [&setup](const SendResult& result) {
              if (setup.IsLoaded()) {
                  setup.Get().ShowOutcome(result);
              }
          }),
      form(setup, screen, outbox),
      desk(form, outbox, setup, screen,
           {services.journal, services.now_ms, std::move(decimal_separator), &services.notifier}) {}

}  // namespace quillet

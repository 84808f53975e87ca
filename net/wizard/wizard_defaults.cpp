// The wizard's services on the real desktop. Kept apart from the logic so
// that programs which bring their own (tests) need not link the transport.
#include <chrono>

#include "net/wizard/connect_wizard.h"
#include "platform/desktop/desktop.h"
#include "platform/window/message_box.h"

namespace halvex::net {

WizardServices WizardServices::Defaults() {
  WizardServices s;
  s.nowMs = [] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  };
  s.showMessage = [](const std::string& caption, const std::string& text) {
    platform::ShowMessageBox(caption, text, platform::MessageBoxButtons::Ok, platform::MessageBoxAnswer::Ok);
  };
  s.localAddress = platform::LocalIPv4Address();
  s.providers = peer::ServiceProviders();
  return s;
}

}  // namespace halvex::net

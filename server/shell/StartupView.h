// What start-up needs from whoever shows it: the server window shows message
// boxes and moves the focus; the headless daemon writes lines to stderr.
#pragma once

#include <string>

namespace warden {

enum class SettingField { kImAddress, kImPort, kListenPort };
enum class MessageIcon { kInformation, kWarning, kError };

// The three settings as the operator typed them.
struct StartSettings {
    std::string imAddress;
    std::string imPort;
    std::string listenPort;
};

class StartupView {
  public:
    virtual ~StartupView() = default;
    virtual void ShowMessage(const std::string& text, const std::string& caption,
                             MessageIcon icon) = 0;
    virtual void FocusField(SettingField field) = 0;
    virtual void SetStartEnabled(bool enabled) = 0;
    // A problem while running that must not go unnoticed but must not stop
    // anything either (an audit entry that could not be written). Called
    // from any thread; never waits for the operator.
    virtual void ShowNotice(const std::string& text) = 0;
};

// The program's title: the caption of messages that have no caption of their own.
inline constexpr const char kServerTitle[] = "warden-server";

}  // namespace warden

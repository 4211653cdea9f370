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
    // Called on the thread that runs start-up.
    virtual void ShowMessage(const std::string& text, const std::string& caption,
                             MessageIcon icon) = 0;
    // An error met while serving a request, for the operator: `text` is what
    // the window shows, `detail` what a log line adds. Called from request
    // workers; must not wait for anyone.
    virtual void ShowRequestError(const std::string& text, const std::string& detail) = 0;
    virtual void FocusField(SettingField field) = 0;
    virtual void SetStartEnabled(bool enabled) = 0;
    // The TLS certificate's SHA-256 fingerprint, for the administrator to
    // read to whoever installs a console; shown for as long as the server runs.
    virtual void ShowFingerprint(const std::string& fingerprint) = 0;
};

// The program's title: the caption of messages that have no caption of their own.
inline constexpr const char kServerTitle[] = "warden-server";

}  // namespace warden

// The headless daemon's view of start-up: every message the window would show
// in a box becomes one line on standard error, with the same text.
#pragma once

#include "server/shell/StartupView.h"

namespace warden {

class StderrView : public StartupView {
  public:
    void ShowMessage(const std::string& text, const std::string& caption,
                     MessageIcon icon) override;
    void ShowRequestError(const std::string& text, const std::string& detail) override;
    void FocusField(SettingField) override {}
    void SetStartEnabled(bool) override {}
    void ShowFingerprint(const std::string& fingerprint) override;
};

// Writes "warden-server: <line>" to standard error.
void SayOnStderr(const std::string& line);

}  // namespace warden

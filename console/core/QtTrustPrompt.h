// The two certificate dialogs: the question at the first connection to a
// server, and the refusal of a certificate that has changed. The refusal has
// one button, "关 闭": going on is not offered here.
//
// Thread-safety: GUI thread only.
#pragma once

#include <functional>

#include "console/core/TrustPrompt.h"

class QDialog;

namespace warden::console {

class QtTrustPrompt final : public TrustPrompt {
  public:
    bool AskFirstUse(std::string_view server, std::string_view fingerprint) override;
    void ShowChanged(std::string_view server, std::string_view trusted, std::string_view presented,
                     bool caSigned) override;

    // Test and screenshot hook: called with each dialog once it is shown,
    // instead of waiting for the user; whatever it does to the dialog
    // (accept, reject) is its answer.
    void SetShownHook(std::function<void(QDialog&)> hook) { m_shown = std::move(hook); }

  private:
    int Run(QDialog& dialog);

    std::function<void(QDialog&)> m_shown;
};

}  // namespace warden::console

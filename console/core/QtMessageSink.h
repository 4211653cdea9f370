// Messages and questions as Qt message boxes, owned by the active window.
//
// Thread-safety: GUI thread only.
#pragma once

#include "console/core/MessageSink.h"

class QWidget;

namespace warden::console {

// The window a message or question belongs to: the modal dialog in front,
// else the active window (null: none).
QWidget* MessageOwner();

class QtMessageSink final : public MessageSink {
  public:
    void ShowMessage(MessageIcon icon, std::string_view caption, std::string_view text) override;
    bool AskOkCancel(std::string_view caption, std::string_view question) override;
};

}  // namespace warden::console

// Where the console's messages and questions go. The Qt implementation shows
// message boxes; tests record them and answer questions from a script.
//
// Thread-safety: none. Used from the user-interface thread only.
#pragma once

#include <string_view>

namespace warden::console {

enum class MessageIcon { kInformation, kWarning, kError };

class MessageSink {
  public:
    virtual ~MessageSink() = default;

    // A message with an OK button.
    virtual void ShowMessage(MessageIcon icon, std::string_view caption, std::string_view text) = 0;

    // A question with OK and Cancel and the question icon; true for OK.
    virtual bool AskOkCancel(std::string_view caption, std::string_view question) = 0;
};

}  // namespace warden::console

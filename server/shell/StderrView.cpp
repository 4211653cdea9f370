#include "server/shell/StderrView.h"

#include <cstdio>

namespace warden {

void SayOnStderr(const std::string& line) {
    std::fprintf(stderr, "warden-server: %s\n", line.c_str());
    std::fflush(stderr);
}

void StderrView::ShowMessage(const std::string& text, const std::string&, MessageIcon icon) {
    // Multi-line texts (the error report) stay on one line, so that each
    // message is one line of the log.
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            if (!line.empty() && line.back() != ' ') line += "; ";
        } else {
            line += c;
        }
    }
    while (!line.empty() && (line.back() == ' ' || line.back() == ';')) line.pop_back();
    const char* prefix = "";
    if (icon == MessageIcon::kError) prefix = "error: ";
    if (icon == MessageIcon::kWarning) prefix = "warning: ";
    SayOnStderr(prefix + line);
}

void StderrView::ShowFingerprint(const std::string& fingerprint) {
    SayOnStderr("TLS certificate fingerprint (SHA-256), as consoles show it:");
    SayOnStderr(fingerprint);
}

void StderrView::ShowRequestError(const std::string& text, const std::string& detail) {
    // One line per error, so the line alone must say what happened.
    SayOnStderr(detail.empty() ? "error: " + text : "error: " + detail);
}

}  // namespace warden

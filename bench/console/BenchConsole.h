// What the console's benchmarks put in place of the windows: messages and
// questions go to stderr (a question is answered no), and any certificate is
// taken, its fingerprint printed, since they measure the operator's own
// server rather than check who answers.
#pragma once

#include <cstdio>
#include <iostream>
#include <string_view>

#include "console/core/CertificateJudge.h"
#include "console/core/MessageSink.h"
#include "console/core/PeerCertificate.h"

namespace warden::console {

class PrintingSink : public MessageSink {
  public:
    void ShowMessage(MessageIcon, std::string_view caption, std::string_view text) override {
        std::cerr << "[" << caption << "] " << text << "\n";
    }
    bool AskOkCancel(std::string_view, std::string_view question) override {
        std::cerr << "[?] " << question << "\n";
        return false;
    }
};

class PrintingJudge : public CertificateJudge {
  public:
    bool Accept(std::string_view, std::string_view, const PeerCertificate& peer) override {
        std::fprintf(stderr, "server certificate SHA-256 %s%s\n", peer.fingerprint.c_str(),
                     peer.caVerified ? " (validated by the system's CA store)" : "");
        return true;
    }
};

}  // namespace warden::console

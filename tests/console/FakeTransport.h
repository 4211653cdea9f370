// In-memory stand-ins for the console's transport and message sink: the
// transport answers from a script and records every request text; the sink
// records every message and answers questions from a queue.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "console/core/CertificateJudge.h"
#include "console/core/MessageSink.h"
#include "console/core/Transport.h"
#include "console/core/TrustPrompt.h"

namespace warden::console::test {

class FakeTransport : public Transport {
  public:
    // Exact request text ("Name.asp?params") to reply; a request without an
    // entry gets `fallback` (by default no reply at all).
    std::map<std::string, std::string> replies;
    std::function<std::string(const std::string&)> fallback;
    // Replies used once each, before `replies`, for requests asked twice.
    std::map<std::string, std::deque<std::string>> queued;

    std::vector<std::string> requests;
    std::vector<std::pair<std::string, std::string>> opened;
    std::vector<WireSecurity> security;  // of each opened connection
    bool openSucceeds = true;
    bool busy = false;
    bool connected = true;
    std::function<void(const std::string&)> onSend;  // called before answering

    bool OpenConnection(std::string_view address, std::string_view port,
                        WireSecurity wire) override {
        opened.emplace_back(address, port);
        security.push_back(wire);
        connected = openSucceeds;
        return openSucceeds;
    }

    std::string SendRequest(std::string_view name, std::string_view params) override {
        std::string request = std::string(name) + "?" + std::string(params);
        requests.push_back(request);
        if (onSend) onSend(request);
        if (auto q = queued.find(request); q != queued.end() && !q->second.empty()) {
            std::string reply = q->second.front();
            q->second.pop_front();
            return reply;
        }
        if (auto r = replies.find(request); r != replies.end()) return r->second;
        return fallback ? fallback(request) : std::string();
    }

    bool Busy() const override { return busy; }
    bool Connected() const override { return connected; }
    bool CheckConnection() override { return connected; }
    // What carries the connection while `connected`.
    ConnectionInfo connection{WireSecurity::kTls, "TLSv1.3", "TLS_AES_256_GCM_SHA384", "AB:01",
                              false};
    std::optional<ConnectionInfo> Connection() const override {
        return connected ? std::optional(connection) : std::nullopt;
    }

    // Posted requests are answered at once, as SendRequest would; `window`
    // of them may wait to be taken; none is given back while `holdReplies`.
    int window = 1;
    bool holdReplies = false;
    std::deque<std::string> posted;
    int PipelineWindow() const override { return window; }
    bool PostRequest(std::string_view name, std::string_view params) override {
        if (busy || !connected) return false;
        posted.push_back(SendRequest(name, params));
        return true;
    }
    int Posted() const override { return static_cast<int>(posted.size()); }
    std::optional<std::string> TakeReply(int) override {
        if (posted.empty() || holdReplies) return std::nullopt;
        std::string reply = std::move(posted.front());
        posted.pop_front();
        return reply;
    }
    void AbandonPosted() override { posted.clear(); }

    int CountStartingWith(const std::string& prefix) const {
        int n = 0;
        for (const auto& r : requests) n += r.rfind(prefix, 0) == 0 ? 1 : 0;
        return n;
    }
};

struct ShownMessage {
    MessageIcon icon;
    std::string caption;
    std::string text;
};

class FakeSink : public MessageSink {
  public:
    std::vector<ShownMessage> shown;
    std::vector<std::pair<std::string, std::string>> questions;  // caption, question
    std::deque<bool> answers;                                    // next answers; OK when empty
    std::function<void()> onQuestion;

    void ShowMessage(MessageIcon icon, std::string_view caption, std::string_view text) override {
        shown.push_back({icon, std::string(caption), std::string(text)});
    }

    bool AskOkCancel(std::string_view caption, std::string_view question) override {
        questions.emplace_back(caption, question);
        if (onQuestion) onQuestion();
        if (answers.empty()) return true;
        bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& m : shown) texts.push_back(m.text);
        return texts;
    }
};

// Records the certificate questions and refusals; answers from `trust`.
class FakeTrustPrompt : public TrustPrompt {
  public:
    bool trust = true;
    std::vector<std::pair<std::string, std::string>> asked;  // server, fingerprint
    struct Refusal {
        std::string server, trusted, presented;
        bool caSigned;
    };
    std::vector<Refusal> refused;

    bool AskFirstUse(std::string_view server, std::string_view fingerprint) override {
        asked.emplace_back(server, fingerprint);
        return trust;
    }
    void ShowChanged(std::string_view server, std::string_view trusted, std::string_view presented,
                     bool caSigned) override {
        refused.push_back(
            {std::string(server), std::string(trusted), std::string(presented), caSigned});
    }
};

// Takes whatever certificate the server presents.
class AcceptAnyCertificate : public CertificateJudge {
  public:
    bool Accept(std::string_view, std::string_view, const PeerCertificate&) override {
        return true;
    }
};

}  // namespace warden::console::test

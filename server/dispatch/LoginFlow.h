// "LoginCheck.asp" off the request workers. The worker that receives a login
// only looks at the throttle and queues the password check on the hashing
// pool; the pool thread counts the attempt with the throttle as its check
// begins (so however many come at once, no more are checked than the limit
// allows), runs the login's handler, settles the attempt, writes the audit
// entry and sends the reply. So a flood of logins costs the workers nothing
// that a logged-in console would wait behind.
//
// Answered without checking a password: a login with another protocol
// version (the handler's own cheap refusal); a login the throttle refuses
// (with the normal failure text, so a lock tells nothing about the
// password); and a login that finds the pool's queue full ("busy"). The
// trail records the first refusal of each lock, and busy or version
// refusals at most once a second with how many there were, so a flood of
// them cannot fill the store.
//
// Thread-safe: Run may be called from any number of threads at once.
#pragma once

#include <chrono>
#include <mutex>
#include <string>

#include "protocol/ParamMap.h"
#include "server/dispatch/AuditRecorder.h"
#include "server/dispatch/Handler.h"
#include "server/dispatch/LoginThrottle.h"
#include "server/net/RequestProcessor.h"

namespace warden {

class WorkerPool;

// The reply to a login that finds every password checker busy.
inline constexpr const char kLoginBusy[] = "error:服务器繁忙,请稍后再试";

class LoginFlow {
  public:
    // REQUIRES: every reference outlives this object; `audit` may be null.
    LoginFlow(LoginThrottle& throttle, WorkerPool& pool, AuditRecorder* audit);

    // Runs the login `handler` with `params` for `session`, answering through
    // `sink` exactly once: at once when refused, otherwise later from a pool
    // thread. REQUIRES: `session` and `services` stay valid and nothing else
    // uses `session` until `sink` has been called.
    void Run(const Handler& handler, ParamMap params, Session& session, Services& services,
             ReplySink sink);

  private:
    // Whether a refusal that checked no password gets an entry now; when it
    // does, `quiet` is how many went without one since the last.
    bool SampleRefusal(int64_t& quiet);
    // Answers a login the throttle refused with `verdict`, recording the
    // first refusal of each lock; false when it did not refuse.
    bool RefuseLocked(const LoginThrottle::Verdict& verdict, const ParamMap& params,
                      const Session& session, const Services& services, const ReplySink& sink);
    void Record(const ParamMap& params, const Session& session, const Services& services,
                const std::string& reply, const std::string& note);

    LoginThrottle& m_throttle;
    WorkerPool& m_pool;
    AuditRecorder* m_audit;
    std::mutex m_sampleMutex;
    std::chrono::steady_clock::time_point m_lastSample{};
    int64_t m_quiet = 0;
};

}  // namespace warden

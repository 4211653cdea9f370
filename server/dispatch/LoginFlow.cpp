#include "server/dispatch/LoginFlow.h"

#include <memory>

#include "protocol/ParamKeys.h"
#include "protocol/Replies.h"
#include "protocol/RequestNames.h"
#include "server/dispatch/AdminHandlers.h"
#include "server/dispatch/Dispatcher.h"
#include "server/net/WorkerPool.h"

namespace warden {

namespace {

using Clock = LoginThrottle::Clock;

std::string Seconds(Clock::duration d) {
    return std::to_string(std::chrono::ceil<std::chrono::seconds>(d).count());
}

const char* LockName(LoginThrottle::Lock lock) {
    switch (lock) {
        case LoginThrottle::Lock::kPair:
            return "账号在此地址";
        case LoginThrottle::Lock::kAddress:
            return "地址";
        case LoginThrottle::Lock::kSlowed:
        case LoginThrottle::Lock::kNone:
            break;
    }
    return "";
}

// Runs the login's handler as the dispatcher would: a failure it does not
// handle is the general error.
std::string RunHandler(const Handler& handler, const ParamMap& params, Session& session,
                       Services& services) {
    try {
        RequestContext context{params, session, services, nullptr};
        return handler(context);
    } catch (...) {
        return reply::kGeneralError;
    }
}

}  // namespace

LoginFlow::LoginFlow(LoginThrottle& throttle, WorkerPool& pool, AuditRecorder* audit)
    : m_throttle(throttle), m_pool(pool), m_audit(audit) {}

bool LoginFlow::SampleRefusal(int64_t& quiet) {
    std::lock_guard lock(m_sampleMutex);
    const auto now = Clock::now();
    if (now - m_lastSample < std::chrono::seconds(1)) {
        ++m_quiet;
        return false;
    }
    m_lastSample = now;
    quiet = m_quiet;
    m_quiet = 0;
    return true;
}

void LoginFlow::Record(const ParamMap& params, const Session& session, const Services& services,
                       const std::string& reply, const std::string& note) {
    if (!m_audit) return;
    try {
        AuditRecord record = MakeLoginAuditRecord(params, session, services, reply);
        if (!note.empty()) record.detail += (record.detail.empty() ? "" : "; ") + note;
        m_audit->Write(std::move(record));
    } catch (const std::exception&) {
        // Only an allocation can fail here; the reply still goes.
    }
}

bool LoginFlow::RefuseLocked(const LoginThrottle::Verdict& verdict, const ParamMap& params,
                             const Session& session, const Services& services,
                             const ReplySink& sink) {
    if (verdict.lock == LoginThrottle::Lock::kNone) return false;
    // The normal failure text: a lock must not tell whether the password was right.
    const std::string reply = LoginFailedReply(GetParam(params, key::kUsername));
    if (verdict.firstRefusal) {
        const std::string what = verdict.lock == LoginThrottle::Lock::kSlowed
                                     ? "账号自多处失败过多,检查已减速(还剩"
                                     : std::string(LockName(verdict.lock)) + "锁定中(还剩";
        Record(params, session, services, reply,
               what + Seconds(verdict.remaining) + "秒),未校验密码;此后的同类拒绝不单独记录");
    }
    SendReply(sink, reply);
    return true;
}

void LoginFlow::Run(const Handler& handler, ParamMap params, Session& session, Services& services,
                    ReplySink sink) {
    auto shared = std::make_shared<const ParamMap>(std::move(params));
    const std::string user = GetParam(*shared, key::kUsername);
    const std::string address = PeerOf(session).address;

    // Refusals that check no password are answered here; their entries are
    // sampled, since nothing bounds how fast they come.
    auto refuseUnchecked = [&](const std::string& reply, const std::string& why) {
        int64_t quiet = 0;
        if (SampleRefusal(quiet)) {
            std::string note = why;
            if (quiet > 0) note += "; 此前另有" + std::to_string(quiet) + "次同类拒绝未单独记录";
            Record(*shared, session, services, reply, note);
        }
        SendReply(sink, reply);
    };

    if (GetParam(*shared, key::kVer) != reply::kProtocolVersion) {
        refuseUnchecked(RunHandler(handler, *shared, session, services), "版本不符,未校验密码");
        return;
    }
    // A look before the queue, so that attempts refused anyway do not
    // take its places.
    if (RefuseLocked(m_throttle.Begin(user, address, Clock::now(), false), *shared, session,
                     services, sink)) {
        return;
    }

    // Counted when its check begins: so that however many come at once, no
    // more are checked than the limit allows, and logins that come together
    // with the right password are all checked in turn.
    auto check = [this, &handler, shared, &session, &services, address, sink, user] {
        if (RefuseLocked(m_throttle.Begin(user, address, Clock::now()), *shared, session,
                         services, sink)) {
            return;
        }
        const std::string reply = RunHandler(handler, *shared, session, services);
        std::string note;
        if (reply.starts_with("success")) {
            m_throttle.Succeed(user, address, Clock::now());
        } else if (reply == LoginFailedReply(user)) {
            // A wrong password, not a directory that failed to answer.
            const LoginThrottle::Failure failure = m_throttle.Fail(user, address, Clock::now());
            note = "连续失败" + std::to_string(failure.failures) + "次";
            if (failure.lock != LoginThrottle::Lock::kNone) {
                note += std::string(";") + LockName(failure.lock) + "锁定" +
                        Seconds(failure.lockFor) + "秒";
            }
        } else {
            m_throttle.Abandon(user, address);
        }
        Record(*shared, session, services, reply, note);
        SendReply(sink, reply);
    };
    if (!m_pool.Submit(std::move(check))) refuseUnchecked(kLoginBusy, "服务器繁忙,未校验密码");
}

}  // namespace warden

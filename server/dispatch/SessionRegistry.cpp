#include "server/dispatch/SessionRegistry.h"

#include <atomic>
#include <mutex>
#include <unordered_map>

#include "protocol/SplitList.h"

namespace warden {

// One account's logins: the places they hold, and the generation of its
// password; a login made under an older generation has ended.
struct Account {
    size_t places = 0;
    size_t tickets = 0;
    std::atomic<uint64_t> generation{0};
};

struct SessionRegistry::State {
    explicit State(size_t max) : maxPerAccount(max) {}
    const size_t maxPerAccount;
    mutable std::mutex mutex;
    std::unordered_map<std::string, std::shared_ptr<Account>> accounts;
};

class SessionRegistry::Ticket final : public SessionTicket {
  public:
    Ticket(std::shared_ptr<State> state, std::string key, std::shared_ptr<Account> account,
           bool counted)
        : m_state(std::move(state)),
          m_key(std::move(key)),
          m_account(std::move(account)),
          m_generation(m_account->generation.load()),
          m_counted(counted) {}

    ~Ticket() override {
        std::lock_guard lock(m_state->mutex);
        if (m_counted) --m_account->places;
        if (--m_account->tickets == 0) m_state->accounts.erase(m_key);
    }

    bool Ended() const override { return m_account->generation.load() != m_generation; }

    const std::string& Key() const { return m_key; }
    bool Counted() const { return m_counted; }
    void Renew() { m_generation = m_account->generation.load(); }

  private:
    std::shared_ptr<State> m_state;
    const std::string m_key;
    const std::shared_ptr<Account> m_account;
    std::atomic<uint64_t> m_generation;
    const bool m_counted;
};

SessionRegistry::SessionRegistry(size_t maxPerAccount)
    : m_state(std::make_shared<State>(maxPerAccount)) {}

SessionRegistry::~SessionRegistry() = default;

bool SessionRegistry::Admit(Session& session, const std::string& account, bool counted) {
    const std::string key = LowerAscii(account);
    std::unique_ptr<Ticket> ticket;
    {
        std::lock_guard lock(m_state->mutex);
        std::shared_ptr<Account>& entry = m_state->accounts[key];
        if (!entry) entry = std::make_shared<Account>();
        // The session's own place, if it holds one already, is free for it.
        const auto* own = dynamic_cast<const Ticket*>(session.ticket.get());
        const bool ownPlace = own && own->Key() == key && own->Counted();
        if (counted && entry->places - (ownPlace ? 1 : 0) >= m_state->maxPerAccount) {
            if (entry->tickets == 0) m_state->accounts.erase(key);
            return false;
        }
        if (counted) ++entry->places;
        ++entry->tickets;
        ticket = std::make_unique<Ticket>(m_state, key, entry, counted);
    }
    session.ticket = std::move(ticket);  // the old one lets go of its place
    return true;
}

void SessionRegistry::EndLogins(const std::string& account, const Session* keep) {
    std::lock_guard lock(m_state->mutex);
    auto found = m_state->accounts.find(LowerAscii(account));
    if (found == m_state->accounts.end()) return;
    ++found->second->generation;
    if (keep == nullptr) return;
    if (auto* own = dynamic_cast<Ticket*>(keep->ticket.get()); own && own->Key() == found->first) {
        own->Renew();
    }
}

size_t SessionRegistry::Places(const std::string& account) const {
    std::lock_guard lock(m_state->mutex);
    auto found = m_state->accounts.find(LowerAscii(account));
    return found == m_state->accounts.end() ? 0 : found->second->places;
}

}  // namespace warden

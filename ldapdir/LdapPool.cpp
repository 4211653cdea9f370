#include "ldapdir/LdapPool.h"

#include <ldap.h>

#include <chrono>

namespace warden::ldapdir {

LdapPool::LdapPool(LdapSettings settings, int size, bool bindAsService)
    : m_settings(std::move(settings)),
      m_size(size > 0 ? size : 1),
      m_bindAsService(bindAsService) {}

std::unique_ptr<LdapConnection> LdapPool::Acquire() {
    std::unique_lock lock(m_mutex);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(m_settings.timeoutMs);
    while (m_idle.empty() && m_open >= m_size) {
        if (m_released.wait_until(lock, deadline) == std::cv_status::timeout && m_idle.empty() &&
            m_open >= m_size) {
            throw LdapError(LDAP_TIMEOUT, "wait for a free connection to " + m_settings.uri);
        }
    }
    if (!m_idle.empty()) {
        std::unique_ptr<LdapConnection> connection = std::move(m_idle.back());
        m_idle.pop_back();
        return connection;
    }
    ++m_open;
    lock.unlock();
    // Connecting takes a round trip or a TLS handshake: not under the lock.
    try {
        return std::make_unique<LdapConnection>(m_settings, m_bindAsService);
    } catch (...) {
        Drop();
        throw;
    }
}

void LdapPool::Release(std::unique_ptr<LdapConnection> connection) {
    {
        std::lock_guard lock(m_mutex);
        m_idle.push_back(std::move(connection));
    }
    m_released.notify_one();
}

void LdapPool::Drop() {
    {
        std::lock_guard lock(m_mutex);
        --m_open;
    }
    m_released.notify_one();
}

}  // namespace warden::ldapdir

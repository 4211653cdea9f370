// A small pool of connections to the directory, so that requests on several
// workers go on at once and a slow directory holds only the requests that
// wait for it: at most `size` connections, made when first needed, kept
// while they work and dropped when the directory lost them. A caller that
// finds them all busy waits for one, at most the settings' timeout.
//
// Thread-safe.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <type_traits>
#include <vector>

#include "ldapdir/LdapConnection.h"
#include "ldapdir/LdapError.h"

namespace warden::ldapdir {

class LdapPool {
  public:
    // `bindAsService`: whether its connections bind as the service account
    // (those for users' own binds do not).
    LdapPool(LdapSettings settings, int size, bool bindAsService);

    // Runs `body(connection)`. A connection the directory lost is dropped;
    // with `retry` the body then runs once more on a new one (for reads, and
    // for writes that fail whole when repeated). Throws LdapError.
    template <class Body>
    auto Run(Body&& body, bool retry = false) {
        for (int attempt = 0;; ++attempt) {
            std::unique_ptr<LdapConnection> connection = Acquire();
            try {
                if constexpr (std::is_void_v<decltype(body(*connection))>) {
                    body(*connection);
                    Release(std::move(connection));
                    return;
                } else {
                    auto result = body(*connection);
                    Release(std::move(connection));
                    return result;
                }
            } catch (const LdapError& e) {
                if (!IsConnectionFailure(e.LdapCode())) {
                    Release(std::move(connection));
                    throw;
                }
                Drop();
                if (!retry || attempt > 0) throw;
            } catch (...) {
                Release(std::move(connection));
                throw;
            }
        }
    }

    const LdapSettings& Settings() const { return m_settings; }

  private:
    std::unique_ptr<LdapConnection> Acquire();
    void Release(std::unique_ptr<LdapConnection> connection);
    // Forgets a connection that was acquired and is now gone.
    void Drop();

    const LdapSettings m_settings;
    const int m_size;
    const bool m_bindAsService;
    std::mutex m_mutex;
    std::condition_variable m_released;
    std::vector<std::unique_ptr<LdapConnection>> m_idle;
    int m_open = 0;  // connections made and not dropped, idle or in use
};

}  // namespace warden::ldapdir

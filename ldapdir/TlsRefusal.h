// Why the directory's certificate was refused. The client library says only
// that it could not connect, which reads like a directory that is down; an
// administrator needs to know whether the certificate names another host or
// comes from a CA he has not given Warden.
//
// Thread-safety: no shared state.
#pragma once

#include <string>

#include "ldapdir/LdapSettings.h"

namespace warden::ldapdir {

// Connects once more without checking the certificate, only to read it
// (nothing but the TLS handshake goes over that connection), and says what
// is wrong with it. Empty when no certificate can be read: the directory is
// down, or does not speak TLS.
std::string ExplainTlsRefusal(const LdapSettings& settings);

}  // namespace warden::ldapdir

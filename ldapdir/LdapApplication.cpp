#include "ldapdir/LdapApplication.h"

#include <ldap.h>

#include "directory/TextRules.h"
#include "ldapdir/LdapError.h"

namespace warden::ldapdir {

void LdapApplication::SetServerAddress(const std::string& address) {
    CheckText(kErrorSource, "server address", address);
}

void LdapApplication::SetServerPort(int port) {
    if (port < 0 || port > 65535) {
        throw ImError(im_code::kInvalidArgument, kErrorSource,
                      "port " + std::to_string(port) + " is out of range");
    }
}

void LdapApplication::SetAppGuid(const std::string& guid) {
    CheckText(kErrorSource, "application GUID", guid);
    std::lock_guard lock(m_mutex);
    m_guid = guid;
}

void LdapApplication::SetAppName(const std::string& name) {
    CheckText(kErrorSource, "application name", name);
    std::lock_guard lock(m_mutex);
    m_name = name;
}

void LdapApplication::SetProgId(const std::string& progId) {
    CheckText(kErrorSource, "program identifier", progId);
}

void LdapApplication::SetReceiverName(const std::string& name) {
    CheckText(kErrorSource, "receiver name", name);
}

void LdapApplication::SetOptionNumber1(int) {}
void LdapApplication::SetOptionNumber2(int) {}

void LdapApplication::SetOptionText1(const std::string& value) {
    CheckText(kErrorSource, "option text", value);
}
void LdapApplication::SetOptionText2(const std::string& value) {
    CheckText(kErrorSource, "option text", value);
}
void LdapApplication::SetOptionText3(const std::string& value) {
    CheckText(kErrorSource, "option text", value);
}
void LdapApplication::SetOptionText4(const std::string& value) {
    CheckText(kErrorSource, "option text", value);
}
void LdapApplication::SetOptionText5(const std::string& value) {
    CheckText(kErrorSource, "option text", value);
}

void LdapApplication::Register() {
    std::string guid;
    {
        std::lock_guard lock(m_mutex);
        if (m_guid.empty() || m_name.empty()) {
            throw ImError(im_code::kInvalidArgument, kErrorSource,
                          "an application needs a GUID and a name to register");
        }
        guid = m_guid;
    }
    try {
        m_tree.Ready();
    } catch (const LdapError& e) {
        // A wrong bind password is as fatal to the start as no directory.
        if (e.LdapCode() == LDAP_INVALID_CREDENTIALS) {
            throw ImError(im_code::kUnreachable, kErrorSource, e.Description());
        }
        throw;
    }
    std::lock_guard lock(m_mutex);
    m_registeredGuid = guid;
}

void LdapApplication::Start(const std::string& value, int timeoutMs) {
    CheckText(kErrorSource, "start value", value);
    (void)timeoutMs;
    std::lock_guard lock(m_mutex);
    if (m_registeredGuid.empty() || m_registeredGuid != m_guid) {
        throw ImError(im_code::kNotFound, kErrorSource, "the application is not registered");
    }
}

}  // namespace warden::ldapdir

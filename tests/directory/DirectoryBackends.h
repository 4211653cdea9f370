// The directory's own tests run on every back-end: the embedded directory in
// a temporary folder, and LDAP on an organisation of its own in the test
// program's throw-away slapd. A suite derives its fixture from
// DirectoryTest and instantiates it with INSTANTIATE_ON_EVERY_BACKEND.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "directory/ImSdk.h"
#include "ldapdir/LdapSettings.h"
#include "tests/support/TempDir.h"

namespace warden::test {

enum class Backend { kVex, kLdap };

class DirectoryTest : public ::testing::TestWithParam<Backend> {
  protected:
    DirectoryTest();

    // Another root on the same directory, as a second server's would be.
    std::shared_ptr<ImRoot> OpenAgain();
    bool OnLdap() const { return GetParam() == Backend::kLdap; }

    TempDir dir;
    ldapdir::LdapSettings ldap;
    std::shared_ptr<ImRoot> root;
};

std::string BackendName(const ::testing::TestParamInfo<Backend>& info);

}  // namespace warden::test

#define INSTANTIATE_ON_EVERY_BACKEND(Suite)                                               \
    INSTANTIATE_TEST_SUITE_P(                                                             \
        Backends, Suite,                                                                  \
        ::testing::Values(::warden::test::Backend::kVex, ::warden::test::Backend::kLdap), \
        ::warden::test::BackendName)

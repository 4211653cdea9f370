// Drives request handlers the way a worker does: a request text through the
// dispatcher with every handler installed, on a logged-in connection, against
// an in-memory IM directory.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "server/dispatch/Dispatcher.h"
#include "server/dispatch/HandlerRegistry.h"
#include "server/im/ImService.h"
#include "tests/support/FakeIm.h"

namespace warden::test {

inline constexpr const char kGeneralError[] = "error:处理请求失败,请检查数据后重新提交";

class HandlerFixture : public ::testing::Test {
  protected:
    HandlerFixture() : m_dispatcher(m_services, true) {
        m_service.SetRoot(m_fake);
        m_services.im = &m_service;
        RegisterAllHandlers(m_dispatcher);
        m_session.login = LoginLevel::kSuper;
    }

    // The reply, or nullopt when the server sends none.
    std::optional<std::string> Ask(const std::string& request) {
        std::optional<std::string> reply;
        int calls = 0;
        m_dispatcher.ProcessRequest(request, m_session, [&](const std::string& text) {
            ++calls;
            if (!text.empty()) reply = text;  // empty: the request ends without a reply
        });
        EXPECT_EQ(calls, 1) << "every request ends exactly once";
        return reply;
    }

    FakeIm& Im() { return *m_fake; }
    void DropDirectory() { m_service.SetRoot(nullptr); }

    std::shared_ptr<FakeIm> m_fake = std::make_shared<FakeIm>();
    ImService m_service;
    Services m_services;
    Dispatcher m_dispatcher;
    Session m_session;
};

}  // namespace warden::test

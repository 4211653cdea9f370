// A main window's logic over the fake transport, for the dialogs' tests: a
// directory answered from a map of department children, and a way to make
// any department the window's current one.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "console/core/MainWindowLogic.h"
#include "protocol/SplitList.h"
#include "tests/console/FakeTransport.h"

namespace warden::console::test {

using Strings = std::vector<std::string>;

class DialogFixture : public ::testing::Test {
  protected:
    DialogFixture() {
        m_login.loginName = "admin";
        m_login.superFlag = "1";
        m_transport.fallback = [this](const std::string& request) { return Answer(request); };
    }

    // Children of each department path ("" is the top level), as the
    // directory lists them.
    std::map<std::string, std::string> m_children{
        {"", "销售部,研发部"},
        {"\\销售部", "华东区,华南区"},
        {"\\销售部\\华东区", "一组"},
        {"\\研发部", "一组"},
    };

    std::string Answer(const std::string& request) {
        const std::string childQuery = "GetChildDepts.asp?deptId=";
        if (request.rfind(childQuery, 0) == 0) {
            auto found = m_children.find(request.substr(childQuery.size()));
            return found == m_children.end() ? " " : found->second;
        }
        if (request.rfind("GetDeptUsers.asp", 0) == 0) return " ";
        return {};
    }

    void SecondLevel(const std::string& managed) {
        m_login.loginName = "zhaolei";
        m_login.superFlag = "0";
        m_login.managedDepts = managed;
    }

    // Makes `path` the main window's current department, as a right click
    // on it would.
    void PointAt(const std::string& path) {
        m_window.ReloadDeptTree();
        const DeptNode* node = &m_window.TreeRoot();
        while (node->path != path) {
            const DeptNode* next = nullptr;
            for (const auto& child : node->children) {
                if (child->path == path || path.rfind(child->path + "\\", 0) == 0) {
                    next = child.get();
                }
            }
            ASSERT_NE(next, nullptr) << path;
            node = next;
            if (node->path != path) m_window.ClickDept(node);
        }
        m_window.SelectDeptForMenu(node);
        ASSERT_EQ(m_window.CurrentDeptPath(), path);
        m_transport.requests.clear();
    }

    // The children of a tree node, as "text=path".
    static Strings Items(const DeptNode& node) {
        Strings items;
        for (const auto& child : node.children) items.push_back(child->text + "=" + child->path);
        return items;
    }

    static const DeptNode* ChildAt(const DeptNode& node, const std::string& path) {
        for (const auto& child : node.children) {
            if (child->path == path) return child.get();
        }
        return nullptr;
    }

    FakeTransport m_transport;
    FakeSink m_sink;
    LoginState m_login;
    MainWindowLogic m_window{m_transport, m_sink, m_login};
};

}  // namespace warden::console::test

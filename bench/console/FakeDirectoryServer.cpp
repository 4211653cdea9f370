#include "bench/console/FakeDirectoryServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "protocol/Framing.h"
#include "protocol/GbkCodec.h"
#include "protocol/ParamMap.h"
#include "protocol/Replies.h"
#include "protocol/SplitList.h"

namespace warden::bench {

namespace {

std::string NameList(const std::vector<std::string>& names) {
    std::string list;
    for (const auto& name : names) list += (list.empty() ? "" : ",") + name;
    return list.empty() ? reply::kNothing : list;
}

}  // namespace

FakeDirectoryServer::FakeDirectoryServer(DemoDirectory directory, int port)
    : m_dir(std::move(directory)) {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    socklen_t len = sizeof addr;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        ::listen(m_listener, 16) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
        ::pipe(m_wake) != 0) {
        throw std::runtime_error("cannot listen");
    }
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this] { Run(); });
}

FakeDirectoryServer::~FakeDirectoryServer() {
    m_stop = true;
    char byte = 0;
    (void)!::write(m_wake[1], &byte, 1);
    m_thread.join();
    ::close(m_listener);
    ::close(m_wake[0]);
    ::close(m_wake[1]);
}

std::string FakeDirectoryServer::Answer(const std::string& request) {
    ParsedRequest parsed = ParseRequest(request);
    auto param = [&](const char* key) { return GetParam(parsed.params, key); };
    const std::string& name = parsed.name;

    if (EqualsNoCase(name, "LoginCheck.asp")) {
        if (param("ver") != reply::kProtocolVersion) {
            return "error:此客户端版本与服务器端不匹配，请与管理员联系获得最新版本.";
        }
        const std::string& user = param("username");
        if (EqualsNoCase(user, "admin")) {
            return param("password") == "admin" ? "success|1" : "error:登录失败,请检查用户名和密码";
        }
        auto known = m_dir.passwords.find(user);
        return known != m_dir.passwords.end() && known->second == param("password")
                   ? "success|0"
                   : "error:用户或密码错误";
    }
    if (EqualsNoCase(name, "QueryUserAdminDepts.asp")) {
        if (EqualsNoCase(param("username"), "admin")) return reply::kNothing;
        auto managed = m_dir.managedDepts.find(param("username"));
        return "|" + (managed == m_dir.managedDepts.end() ? std::string() : managed->second);
    }
    if (EqualsNoCase(name, "GetChildDepts.asp")) {
        auto found = m_dir.children.find(param("deptId"));
        return NameList(found == m_dir.children.end() ? std::vector<std::string>{} : found->second);
    }
    if (EqualsNoCase(name, "GetDeptUsers.asp")) {
        auto found = m_dir.members.find(param("deptId"));
        return NameList(found == m_dir.members.end() ? std::vector<std::string>{} : found->second);
    }
    if (EqualsNoCase(name, "GetUserBInfo.asp") || EqualsNoCase(name, "GetUserRoles.asp")) {
        auto found = m_dir.users.find(param("username"));
        if (found == m_dir.users.end()) return reply::kGeneralError;
        const DemoUser& u = found->second;
        if (EqualsNoCase(name, "GetUserRoles.asp")) return u.roles;
        return "name:" + u.name + "|gender:" + u.gender + "|mobile:" + u.mobile +
               "|email:" + u.email + "|phone:" + u.phone + "|auth:0|uin:" + std::to_string(u.uin) +
               "|position:" + u.position + "|level:" + std::to_string(u.level);
    }
    if (EqualsNoCase(name, "UserDelete.asp")) {
        std::string account = param("username");
        m_dir.users.erase(account);
        for (auto& [dept, accounts] : m_dir.members) std::erase(accounts, account);
        return "info:删除用户成功";
    }
    if (EqualsNoCase(name, "DeptDelete.asp")) {
        const std::string& path = param("deptid");
        if (path.empty()) return "error:部门名称不能为空";
        if (!m_dir.children[path].empty()) return "error:部门下含有子部门,不能删除";
        if (!m_dir.members[path].empty()) return "error:部门下用户不为空,不能删除";
        size_t cut = path.rfind('\\');
        std::erase(m_dir.children[path.substr(0, cut)], path.substr(cut + 1));
        m_dir.children.erase(path);
        return "info:删除部门成功";
    }
    return {};
}

void FakeDirectoryServer::Run() {
    std::vector<int> clients;
    while (!m_stop) {
        std::vector<pollfd> fds{{m_listener, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        for (int fd : clients) fds.push_back({fd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0 || fds[1].revents != 0) continue;
        if (fds[0].revents != 0) {
            int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) clients.push_back(fd);
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (fds[i].revents == 0) continue;
            int fd = fds[i].fd;
            std::string request;
            if (ReadMessage(fd, request) != FrameStatus::kComplete) {
                ::close(fd);
                std::erase(clients, fd);
                continue;
            }
            std::optional<std::string> text = GbkToUtf8(request);
            std::string answer = text ? Answer(*text) : reply::kGeneralError;
            if (answer.empty()) continue;
            WriteMessage(fd, Utf8ToGbk(answer).value_or(std::string("error:")));
        }
    }
    for (int fd : clients) ::close(fd);
}

}  // namespace warden::bench

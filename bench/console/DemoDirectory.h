// A small organisation held in memory, with one generated department as large
// as asked, for running and measuring the console without the real server.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace warden::bench {

struct DemoUser {
    std::string account;
    std::string name;
    std::string gender;  // "男" or "女"
    std::string mobile;
    std::string email;
    std::string phone;
    int uin = 0;
    std::string position;
    int level = 0;
    std::string roles;  // as "GetUserRoles.asp" answers: "=User=..."
};

struct DemoDirectory {
    std::map<std::string, std::vector<std::string>> children;  // path -> child names
    std::map<std::string, std::vector<std::string>> members;   // path -> accounts
    std::map<std::string, DemoUser> users;                     // account -> record
    std::map<std::string, std::string> passwords;              // second-level logins
    std::map<std::string, std::string> managedDepts;           // account -> "\A;\B;"
};

// The demo organisation; department \大客户部 gets `largeDeptUsers` users.
DemoDirectory MakeDemoDirectory(int largeDeptUsers);

}  // namespace warden::bench

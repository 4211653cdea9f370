// The file of users that the console exports and imports: one header line,
// then one line per user with his account, name, gender, position, mobile,
// telephone, e-mail, departments and roles. Departments are full paths
// ("\销售部\华东区") and, like roles, several in one field are separated by
// ";". An import may add a column of passwords; an export never has one.
//
// The roles "User" and "管理员", which the directory keeps for every user
// whatever the console sends, are left out of both directions.
//
// Files are written as UTF-8 with a byte-order mark. They are read as UTF-8
// when they are valid UTF-8, and otherwise as GBK, which spreadsheets write
// on Chinese systems.
//
// Thread-safety: no state.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace warden::console {

struct UserCsvRow {
    std::string account;
    std::string name;
    std::string gender;  // "男", "女" or empty
    std::string position;
    std::string mobile;
    std::string phone;
    std::string email;
    std::vector<std::string> depts;  // "\A\B", as NormalDeptPath gives them
    std::vector<std::string> roles;
    std::string password;  // import only; empty leaves a user's password as it is
};

enum class TextEncoding { kUtf8, kGbk };

// "UTF-8" or "GBK".
const char* EncodingName(TextEncoding encoding);

struct UserCsvRecord {
    int line = 0;  // where it begins in the file, from 1
    UserCsvRow row;
    std::string problem;  // set when the line cannot be read as a user
};

struct UserCsvFile {
    TextEncoding encoding = TextEncoding::kUtf8;
    bool hasPasswords = false;
    std::string error;  // set when the file as a whole cannot be read
    std::vector<UserCsvRecord> records;
};

// The header and one line per row, as they follow the byte-order mark.
std::string UserCsvText(const std::vector<UserCsvRow>& rows);

// Reads a file's bytes. The header names the columns, in any order, by the
// names UserCsvText writes or their English names (account, name, gender,
// position, mobile, telephone, email, departments, roles, password); every
// column but the password must be there.
UserCsvFile ReadUserCsv(std::string_view bytes);

}  // namespace warden::console

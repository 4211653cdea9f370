// Filling an empty directory with an organisation: a small demo one with
// Chinese names for trying the product out, and a large one for benchmarks.
// Both refuse a directory that already holds departments or users.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "directory/ImSdk.h"

namespace warden::vexdir {

// The demo users' password.
inline constexpr const char kDemoPassword[] = "123456";

struct DemoSummary {
    int departments = 0;
    int users = 0;
    int roles = 0;  // added beside the built-in ones
    std::vector<std::string> accounts;
};

// Builds the demo organisation through the directory's own operations.
// Throws ImError (also when the directory is not empty).
DemoSummary GenerateDemo(ImRoot& root);

struct LargeOptions {
    int departments = 10000;
    int users = 100000;
    int bigDepartmentUsers = 5000;  // users of the one big department
    int usersPerDepartment = 50;    // users of each ordinary staffed department
    // When not empty, every user gets this password (one hash shared by all:
    // for test data only). Otherwise users have none and cannot log in.
    std::string password;
};

struct LargeSummary {
    int departments = 0;
    int users = 0;
    std::string bigDepartment;       // path of the department with bigDepartmentUsers users
    std::string smallDepartment;     // path of one with usersPerDepartment users
    std::string parentWithChildren;  // path of a department with many sub-departments
    std::vector<std::string> sampleAccounts;  // spread over the whole directory
};

// Writes the large organisation straight into the database file of
// `installDir` in one transaction (creating the file when missing): three
// levels of departments, 10 at the top, 10 under each of those, the rest
// spread evenly below. The first bottom-level department gets the big
// staff, the following ones usersPerDepartment each, the rest stay empty.
// REQUIRES: departments >= 111 and the users fit as described.
// Throws ImError.
LargeSummary GenerateLarge(const std::filesystem::path& installDir, const LargeOptions& options);

}  // namespace warden::vexdir

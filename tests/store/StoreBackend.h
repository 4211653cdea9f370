// Where the store tests keep their databases. The tests that touch a
// database are built twice: on SQLite (SqliteBackend.cpp) and on a PostgreSQL
// server that the test program starts itself (PostgresBackend.cpp).
#pragma once

#include <filesystem>
#include <string>

namespace warden {
class AdminStore;
}

namespace warden::test {

// Makes a new admin store for `store`, as a new site gets it (the template's
// rows), and returns the connection pattern to open it with. Throws when the
// back-end cannot make one.
std::string MakeFreshStore(AdminStore& store);

// A connection string to a new, empty database; `dir` may hold its files.
// Throws when the back-end cannot make one.
std::string MakeEmptyDatabase(const std::filesystem::path& dir);

}  // namespace warden::test

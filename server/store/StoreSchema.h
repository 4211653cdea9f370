// The admin store's tables, for each kind of database it can live in, kept as
// steps. The first step makes the store itself (the accounts table and the
// super administrator's row); each later step adds one table or one column
// that a later version needs. A store is brought up to date by applying, in
// order, every step whose table or column is missing, so an existing store is
// upgraded without touching anything else.
//
// The steps come from the schema files built into the program
// (AdminStoreSchema.sql for SQLite, AdminStoreSchemaPostgres.sql), where each
// step starts with a line "-- step: table NAME" or "-- step: column
// TABLE.COLUMN". Steps are only ever appended: a released step is never
// edited, since stores made from it exist.
//
// Thread-safety: ParseSchema and StoreSchema are pure; ApplySchema uses a
// connection that the caller owns for the duration.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace warden {

class OdbcConnection;

enum class StoreDialect { kSqlite, kPostgres };

struct SchemaStep {
    std::string table;   // the table the step makes or changes
    std::string column;  // empty: the step makes `table`; else it adds this column
    std::vector<std::string> statements;
};

// The steps of a schema text. Text before the first step and "--" comments
// are ignored; statements end with ";" outside quotes. Throws
// std::invalid_argument for a step line it cannot read or a step without a
// statement.
std::vector<SchemaStep> ParseSchema(std::string_view text);

// The built-in steps for `dialect`.
const std::vector<SchemaStep>& StoreSchema(StoreDialect dialect);

// The dialect of the database behind `connection`, from the name its driver
// gives; nullopt for a database system without a built-in schema. Throws
// OdbcError.
std::optional<StoreDialect> DialectOf(OdbcConnection& connection);

enum class SchemaMode {
    kUpgrade,  // only when the first step's table exists: a store is there
    kCreate,   // every missing step, the store itself included
};

struct SchemaResult {
    bool storeFound = false;           // the first step's table existed beforehand
    std::vector<std::string> applied;  // "created table T" / "added column T.C", in order
};

// Applies each missing step of `steps` in order, each all or nothing (in one
// transaction). A step that fails because a concurrent caller applied it
// first counts as done. Throws OdbcError when a step cannot be applied; the
// steps before it stay applied.
SchemaResult ApplySchema(OdbcConnection& connection, const std::vector<SchemaStep>& steps,
                         SchemaMode mode);

}  // namespace warden

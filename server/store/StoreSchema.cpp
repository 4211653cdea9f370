#include "server/store/StoreSchema.h"

#include <cctype>
#include <stdexcept>

#include "server/store/Odbc.h"

namespace warden {

// The schema files' text, built into the program (StoreSchemaText.cpp is
// generated from them).
extern const char kSqliteSchemaText[];
extern const char kPostgresSchemaText[];

namespace {

constexpr std::string_view kStepMark = "-- step:";

bool IsWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

std::string Upper(std::string_view word) {
    std::string out(word);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

// Splits the body of one step into statements at ";" outside quotes
// ('...', "...", PostgreSQL's $tag$...$tag$) and outside "--" comments, which
// are dropped. A SQLite trigger's body holds statements of its own, so
// inside CREATE TRIGGER only the ";" after the END that closes its BEGIN
// ends the statement.
std::vector<std::string> SplitStatements(std::string_view body) {
    std::vector<std::string> out;
    std::string current;
    int depth = 0;  // open BEGIN/CASE blocks of a trigger
    auto finish = [&] {
        std::string_view text = Trim(current);
        if (!text.empty()) out.emplace_back(text);
        current.clear();
        depth = 0;
    };
    auto isTrigger = [&] {
        std::string head = Upper(Trim(current).substr(0, 64));
        return head.starts_with("CREATE TRIGGER") || head.starts_with("CREATE TEMP TRIGGER");
    };
    for (size_t i = 0; i < body.size();) {
        const char c = body[i];
        if (c == '-' && i + 1 < body.size() && body[i + 1] == '-') {
            i = std::min(body.find('\n', i), body.size());
        } else if (c == '\'' || c == '"') {
            // A doubled quote inside is two adjacent quoted runs: same text.
            const size_t end = std::min(body.find(c, i + 1), body.size() - 1);
            current.append(body.substr(i, end + 1 - i));
            i = end + 1;
        } else if (c == '$' && (i == 0 || !IsWordChar(body[i - 1]))) {
            size_t j = i + 1;
            while (j < body.size() && IsWordChar(body[j])) ++j;
            if (j < body.size() && body[j] == '$') {
                const std::string_view tag = body.substr(i, j + 1 - i);
                const size_t close = body.find(tag, j + 1);
                const size_t end =
                    close == std::string_view::npos ? body.size() : close + tag.size();
                current.append(body.substr(i, end - i));
                i = end;
            } else {
                current += body[i++];
            }
        } else if (IsWordChar(c)) {
            size_t j = i;
            while (j < body.size() && IsWordChar(body[j])) ++j;
            const std::string word = Upper(body.substr(i, j - i));
            if (isTrigger()) {
                if (word == "BEGIN" || word == "CASE") ++depth;
                if (word == "END" && depth > 0) --depth;
            }
            current.append(body.substr(i, j - i));
            i = j;
        } else if (c == ';' && depth == 0) {
            finish();
            ++i;
        } else {
            current += body[i++];
        }
    }
    finish();
    return out;
}

// "table NAME" or "column TABLE.COLUMN" after the step mark.
SchemaStep ParseStepLine(std::string_view line) {
    const std::string_view spec = Trim(line.substr(kStepMark.size()));
    const size_t space = spec.find(' ');
    const std::string_view kind = spec.substr(0, space);
    const std::string_view name =
        space == std::string_view::npos ? std::string_view() : Trim(spec.substr(space));
    auto isName = [](std::string_view s) {
        if (s.empty()) return false;
        for (char c : s) {
            if (!IsWordChar(c)) return false;
        }
        return true;
    };
    SchemaStep step;
    if (kind == "table" && isName(name)) {
        step.table = name;
        return step;
    }
    const size_t dot = name.find('.');
    if (kind == "column" && dot != std::string_view::npos && isName(name.substr(0, dot)) &&
        isName(name.substr(dot + 1))) {
        step.table = name.substr(0, dot);
        step.column = name.substr(dot + 1);
        return step;
    }
    throw std::invalid_argument("cannot read the schema step \"" + std::string(Trim(line)) + "\"");
}

std::string Describe(const SchemaStep& step) {
    return step.column.empty() ? "created table " + step.table
                               : "added column " + step.table + "." + step.column;
}

// Whether what `step` makes is already there. The names come from the
// built-in schema, never from input, so they may form the query.
bool IsPresent(OdbcConnection& connection, const SchemaStep& step) {
    const std::string columns = step.column.empty() ? "*" : step.column;
    try {
        connection.Execute("SELECT " + columns + " FROM " + step.table + " WHERE 1=0");
        return true;
    } catch (const OdbcError&) {
        return false;
    }
}

void Apply(OdbcConnection& connection, const SchemaStep& step) {
    OdbcTransaction transaction(connection);
    for (const std::string& statement : step.statements) connection.Execute(statement);
    transaction.Commit();
}

}  // namespace

std::vector<SchemaStep> ParseSchema(std::string_view text) {
    std::vector<SchemaStep> steps;
    std::string body;
    auto close = [&] {
        if (steps.empty()) return;
        steps.back().statements = SplitStatements(body);
        if (steps.back().statements.empty()) {
            throw std::invalid_argument("the schema step for " + Describe(steps.back()) +
                                        " has no statement");
        }
        body.clear();
    };
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        if (Trim(line).starts_with(kStepMark)) {
            close();
            steps.push_back(ParseStepLine(Trim(line)));
        } else if (!steps.empty()) {
            body.append(line).push_back('\n');
        }
        start = end + 1;
    }
    close();
    return steps;
}

const std::vector<SchemaStep>& StoreSchema(StoreDialect dialect) {
    static const std::vector<SchemaStep> sqlite = ParseSchema(kSqliteSchemaText);
    static const std::vector<SchemaStep> postgres = ParseSchema(kPostgresSchemaText);
    return dialect == StoreDialect::kSqlite ? sqlite : postgres;
}

std::optional<StoreDialect> DialectOf(OdbcConnection& connection) {
    const std::string name = Upper(connection.DbmsName());
    if (name.starts_with("SQLITE")) return StoreDialect::kSqlite;
    if (name.starts_with("POSTGRESQL")) return StoreDialect::kPostgres;
    return std::nullopt;
}

SchemaResult ApplySchema(OdbcConnection& connection, const std::vector<SchemaStep>& steps,
                         SchemaMode mode) {
    SchemaResult result;
    if (steps.empty()) return result;
    result.storeFound = IsPresent(connection, steps.front());
    if (!result.storeFound && mode == SchemaMode::kUpgrade) return result;
    for (const SchemaStep& step : steps) {
        if (IsPresent(connection, step)) continue;
        try {
            Apply(connection, step);
        } catch (const OdbcError&) {
            // Another server starting on the same store may have won the race.
            if (IsPresent(connection, step)) continue;
            throw;
        }
        result.applied.push_back(Describe(step));
    }
    return result;
}

}  // namespace warden

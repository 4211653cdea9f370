#include "vexdir/DeptOrder.h"

#include <vector>

#include "vexdir/Schema.h"

namespace warden::vexdir {

namespace {

bool EqualsAsciiNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

}  // namespace

PlaceResult PlaceDeptAmongSiblings(sqlite::Connection& db, const PlaceRequest& request) {
    sqlite::Transaction transaction(db, sqlite::Transaction::Kind::kImmediate);
    int64_t parent = 0;
    int64_t ownSort = 0;
    {
        auto stmt = db.Prepare("SELECT PDeptID, DeptName, SortID FROM vex_dept WHERE DeptID = ?");
        stmt.Bind(1, request.deptId);
        if (!stmt.Step()) {
            throw PlaceError(PlaceError::Kind::kNotFound,
                             "no department " + std::to_string(request.deptId));
        }
        parent = stmt.Int(0);
        ownSort = stmt.Int(2);
        if (request.expectedParent && *request.expectedParent != parent) {
            throw PlaceError(PlaceError::Kind::kConflict,
                             "the department has moved to another parent");
        }
        if (request.expectedName && !EqualsAsciiNoCase(*request.expectedName, stmt.Text(1))) {
            throw PlaceError(PlaceError::Kind::kConflict, "the department has been renamed");
        }
    }

    std::vector<std::pair<int64_t, int64_t>> order;  // DeptID, current SortID
    size_t position = 0;
    {
        auto stmt = db.Prepare(
            "SELECT DeptID, SortID FROM vex_dept WHERE PDeptID = ? AND DeptID <> ? "
            "ORDER BY SortID, DeptID");
        stmt.Bind(1, parent).Bind(2, request.deptId);
        while (stmt.Step()) {
            order.emplace_back(stmt.Int(0), stmt.Int(1));
            if (stmt.Int(1) <= request.sortId) position = order.size();
        }
    }
    order.insert(order.begin() + static_cast<std::ptrdiff_t>(position), {request.deptId, ownSort});

    PlaceResult result;
    for (size_t i = 0; i < order.size(); ++i) {
        const int64_t sort = static_cast<int64_t>(i + 1) * kSortStep;
        if (order[i].first == request.deptId) result.newSortId = sort;
        if (order[i].second == sort) continue;
        db.Prepare("UPDATE vex_dept SET SortID = ? WHERE DeptID = ?")
            .Bind(1, sort)
            .Bind(2, order[i].first)
            .Run();
        ++result.renumbered;
    }
    transaction.Commit();
    return result;
}

}  // namespace warden::vexdir

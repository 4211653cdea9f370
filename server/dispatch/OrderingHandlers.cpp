#include "server/dispatch/OrderingHandlers.h"

#include "protocol/ParamKeys.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"
#include "server/dispatch/Dispatcher.h"
#include "server/im/DeptOrdering.h"

namespace warden {

namespace {

constexpr const char kOrderingOff[] = "error:服务器端未开通修改部门顺序功能";
constexpr const char kOrderDone[] = "info:修改部门顺序成功";
constexpr const char kOrderFailed[] = "error:修改部门顺序失败";

std::string HandleSetDeptOrder(RequestContext& context) {
    DeptOrdering* ordering = context.services.ordering;
    if (!ordering || !ordering->Available()) return kOrderingOff;

    const auto deptPieces = SplitList(context.Param(key::kDeptNameMixed), "\\");
    const auto nextPieces = SplitList(context.Param(key::kNextDeptName), "\\");
    const bool isLast = context.Param(key::kIsLast) == "1";

    // An empty path names no department, and a lookup that finds nothing has
    // no numbers to use: both are refused rather than placing by guesswork.
    auto dept = ordering->FindDeptByPath(deptPieces);
    if (!dept) return kOrderFailed;
    // The place is read and written with no other reorder of these siblings
    // in between, which could move the next department meanwhile.
    auto siblings = ordering->LockSiblings(dept->parentId);
    auto next = ordering->FindDeptByPath(nextPieces);
    if (!next) return kOrderFailed;
    // A position among other siblings than the department's own means nothing.
    if (next->parentId != dept->parentId) return kOrderFailed;

    return ordering->SetDeptSortId(dept->deptId, dept->parentId, next->sortId, dept->name, isLast)
               ? kOrderDone
               : kOrderFailed;
}

}  // namespace

void RegisterOrderingHandlers(Dispatcher& dispatcher) {
    dispatcher.Register(req::kSetDeptOrder, HandleSetDeptOrder);
}

}  // namespace warden

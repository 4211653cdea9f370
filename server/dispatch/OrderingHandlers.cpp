#include "server/dispatch/OrderingHandlers.h"

#include "protocol/ParamKeys.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"
#include "server/dispatch/Dispatcher.h"
#include "server/im/DeptPlacement.h"

namespace warden {

namespace {

constexpr const char kOrderingOff[] = "error:服务器端未开通修改部门顺序功能";
constexpr const char kOrderDone[] = "info:修改部门顺序成功";
constexpr const char kOrderFailed[] = "error:修改部门顺序失败";

std::string HandleSetDeptOrder(RequestContext& context) {
    DeptPlacement* ordering = context.services.ordering;
    if (!ordering || !ordering->Available()) return kOrderingOff;

    const auto deptPieces = SplitList(context.Param(key::kDeptNameMixed), "\\");
    const auto nextPieces = SplitList(context.Param(key::kNextDeptName), "\\");
    const bool isLast = context.Param(key::kIsLast) == "1";

    // An empty path names no department, and a lookup that finds nothing has
    // no numbers to use: both are refused rather than placing by guesswork.
    return ordering->MoveBefore(deptPieces, nextPieces, isLast) ? kOrderDone : kOrderFailed;
}

}  // namespace

void RegisterOrderingHandlers(Dispatcher& dispatcher) {
    dispatcher.Register(req::kSetDeptOrder, HandleSetDeptOrder);
}

}  // namespace warden

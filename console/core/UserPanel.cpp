#include "console/core/UserPanel.h"

#include "protocol/SplitList.h"

namespace warden::console {

UserPanel PanelFromRow(const UserRow& row, std::string roles) {
    UserPanel panel;
    panel.account = row.cells[kColAccount];
    panel.name = row.cells[kColName];
    panel.position = row.cells[kColPosition];
    panel.gender = EqualsNoCase(row.cells[kColGender], "男") ? "男" : "女";
    panel.mobile = row.cells[kColMobile];
    panel.phone = row.cells[kColPhone];
    panel.email = row.cells[kColEmail];
    panel.level = row.cells[kColLevel];
    panel.roles = std::move(roles);
    return panel;
}

}  // namespace warden::console

#include "console/core/DeptTreeMerge.h"

#include <algorithm>

#include "protocol/SplitList.h"

namespace warden::console {

void MergeDeptChildren(DeptNode& parent, std::vector<std::unique_ptr<DeptNode>> fresh,
                       MainWindowObserver& observer) {
    auto& kids = parent.children;
    // Which old item each fresh one continues (null: none).
    std::vector<DeptNode*> kept(fresh.size(), nullptr);
    std::vector<bool> used(kids.size(), false);
    for (size_t i = 0; i < fresh.size(); ++i) {
        for (size_t j = 0; j < kids.size(); ++j) {
            if (!used[j] && EqualsNoCase(kids[j]->path, fresh[i]->path)) {
                used[j] = true;
                kept[i] = kids[j].get();
                break;
            }
        }
    }

    for (int j = static_cast<int>(kids.size()) - 1; j >= 0; --j) {
        if (used[static_cast<size_t>(j)]) continue;
        observer.BeginRemoveDeptChildren(parent, j, j);
        kids.erase(kids.begin() + j);
        observer.EndRemoveDeptChildren();
    }

    // The survivors, in their new order, at the front.
    int place = 0;
    for (size_t i = 0; i < fresh.size(); ++i) {
        DeptNode* wanted = kept[i];
        if (wanted == nullptr) continue;
        int at = wanted->Row();
        if (at != place) {
            observer.BeginMoveDeptChild(parent, at, place);
            std::rotate(kids.begin() + place, kids.begin() + at, kids.begin() + at + 1);
            observer.EndMoveDeptChild();
        }
        if (wanted->text != fresh[i]->text) {
            wanted->text = fresh[i]->text;
            observer.DeptRenamed(*wanted);
        }
        ++place;
    }

    // The newcomers, a run of neighbours at a time.
    for (size_t i = 0; i < fresh.size();) {
        if (kept[i] != nullptr) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < fresh.size() && kept[end] == nullptr) ++end;
        observer.BeginInsertDeptChildren(parent, static_cast<int>(i), static_cast<int>(end) - 1);
        for (size_t k = i; k < end; ++k) {
            fresh[k]->parent = &parent;
            kids.insert(kids.begin() + static_cast<long>(k), std::move(fresh[k]));
        }
        observer.EndInsertDeptChildren();
        i = end;
    }
}

}  // namespace warden::console

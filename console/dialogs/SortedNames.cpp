#include "console/dialogs/SortedNames.h"

#include <algorithm>

#include "console/core/Collation.h"
#include "protocol/SplitList.h"

namespace warden::console {

int SortedNames::Add(std::string text) {
    auto at =
        std::upper_bound(m_items.begin(), m_items.end(), text,
                         [](const std::string& a, const std::string& b) { return NameLess(a, b); });
    int index = static_cast<int>(at - m_items.begin());
    m_items.insert(at, std::move(text));
    if (m_selected >= index) ++m_selected;
    return index;
}

void SortedNames::RemoveAt(int index) {
    if (index < 0 || index >= Size()) return;
    m_items.erase(m_items.begin() + index);
    if (m_selected == index) {
        m_selected = -1;
    } else if (m_selected > index) {
        --m_selected;
    }
}

void SortedNames::Clear() {
    m_items.clear();
    m_selected = -1;
}

int SortedNames::FindExact(std::string_view text) const {
    for (int i = 0; i < Size(); ++i) {
        if (At(i) == text) return i;
    }
    return -1;
}

int SortedNames::FindNoCase(std::string_view text) const {
    for (int i = 0; i < Size(); ++i) {
        if (EqualsNoCase(At(i), text)) return i;
    }
    return -1;
}

void SortedNames::Select(int index) {
    m_selected = index >= 0 && index < Size() ? index : -1;
}

}  // namespace warden::console

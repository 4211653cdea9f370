// A sorted list box of the dialogs: texts kept in the order of Collation.h
// (pinyin, letter case ignored) with at most one selected entry. The dialogs' logic
// owns these; the widgets only mirror them.
//
// Thread-safety: none; used on the user-interface thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace warden::console {

class SortedNames {
  public:
    int Size() const { return static_cast<int>(m_items.size()); }
    bool Empty() const { return m_items.empty(); }
    const std::string& At(int index) const { return m_items[static_cast<size_t>(index)]; }
    const std::vector<std::string>& Items() const { return m_items; }

    // Inserts `text` after the entries that sort equal to it; returns its
    // index. The selection keeps pointing at the same entry.
    int Add(std::string text);
    // Removes entry `index` (ignored when out of range). A removed selection
    // becomes none; a selection after it moves with its entry.
    void RemoveAt(int index);
    void Clear();

    // The index of the first entry equal to `text`, or -1.
    int FindExact(std::string_view text) const;
    // The same, letter case ignored.
    int FindNoCase(std::string_view text) const;

    // -1 when nothing is selected.
    int Selected() const { return m_selected; }
    bool HasSelection() const { return m_selected >= 0; }
    // Selects entry `index`; anything out of range selects nothing.
    void Select(int index);
    // REQUIRES: HasSelection().
    const std::string& SelectedText() const { return At(m_selected); }

  private:
    std::vector<std::string> m_items;
    int m_selected = -1;
};

}  // namespace warden::console

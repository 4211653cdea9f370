// Small helpers the dialogs' Qt classes share: text conversion and list
// boxes that mirror a SortedNames.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "console/dialogs/SortedNames.h"

class QListWidget;

namespace warden::console {

inline QString Q(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
inline std::string S(const QString& text) {
    return text.toStdString();
}

// Refills `box` with the entries of `names` and shows its selection,
// without emitting selection signals.
void MirrorList(QListWidget* box, const SortedNames& names);

// The selected row of `box`, -1 for none.
int SelectedRow(const QListWidget* box);

}  // namespace warden::console

// Small helpers the dialogs' Qt classes share: text conversion, controls
// made with their object names, and list boxes that mirror a SortedNames.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "console/dialogs/SortedNames.h"

#include <initializer_list>

class QHBoxLayout;
class QLineEdit;
class QListWidget;
class QPushButton;
class QVBoxLayout;
class QWidget;

namespace warden::console {

inline QString Q(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
inline std::string S(const QString& text) {
    return text.toStdString();
}

// A button that never becomes the default by taking the focus.
QPushButton* Button(QWidget* parent, const char* label, const char* name);
QListWidget* List(QWidget* parent, const char* name);
QLineEdit* Box(QWidget* parent, const char* name);
// `widgets` stacked in the middle of a column.
QVBoxLayout* Column(std::initializer_list<QWidget*> widgets);
// `buttons` side by side at the right.
QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> buttons);

// Refills `box` with the entries of `names` and shows its selection,
// without emitting selection signals.
void MirrorList(QListWidget* box, const SortedNames& names);

// The selected row of `box`, -1 for none.
int SelectedRow(const QListWidget* box);

}  // namespace warden::console

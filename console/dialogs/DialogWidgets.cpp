#include "console/dialogs/DialogWidgets.h"

#include <QListWidget>
#include <QSignalBlocker>

namespace warden::console {

void MirrorList(QListWidget* box, const SortedNames& names) {
    QSignalBlocker blocker(box);
    box->clear();
    for (const std::string& item : names.Items()) box->addItem(Q(item));
    if (names.HasSelection()) {
        box->setCurrentRow(names.Selected());
    } else {
        box->setCurrentRow(-1);
        box->clearSelection();
    }
}

int SelectedRow(const QListWidget* box) {
    QList<QListWidgetItem*> selected = box->selectedItems();
    return selected.isEmpty() ? -1 : box->row(selected.first());
}

}  // namespace warden::console

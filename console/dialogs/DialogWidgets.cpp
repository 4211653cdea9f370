#include "console/dialogs/DialogWidgets.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace warden::console {

QPushButton* Button(QWidget* parent, const char* label, const char* name) {
    auto* button = new QPushButton(Q(label), parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

QListWidget* List(QWidget* parent, const char* name) {
    auto* list = new QListWidget(parent);
    list->setObjectName(name);
    return list;
}

QLineEdit* Box(QWidget* parent, const char* name) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    return box;
}

QVBoxLayout* Column(std::initializer_list<QWidget*> widgets) {
    auto* column = new QVBoxLayout;
    column->addStretch();
    for (QWidget* widget : widgets) column->addWidget(widget);
    column->addStretch();
    return column;
}

QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> buttons) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton* button : buttons) row->addWidget(button);
    return row;
}

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

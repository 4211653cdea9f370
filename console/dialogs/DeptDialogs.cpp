#include "console/dialogs/DeptDialogs.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "console/core/FieldWidgets.h"
#include "console/dialogs/DeptPickerView.h"
#include "console/dialogs/DialogTexts.h"
#include "console/dialogs/DialogWidgets.h"
#include "protocol/NameRules.h"

namespace warden::console {

// --- 添加部门 ----------------------------------------------------------------

AddDeptDialog::AddDeptDialog(AddDeptLogic& logic, QWidget* parent)
    : QDialog(parent), m_logic(logic), m_name(new QLineEdit(this)), m_parent(new QLabel(this)) {
    setWindowTitle(Q(text::kAddDeptTitle));
    setObjectName("addDeptDialog");
    m_name->setObjectName("deptName");
    LimitLength(m_name, limits::kDeptName);
    m_parent->setObjectName("parentDept");
    m_parent->setWordWrap(true);
    m_parent->setMinimumHeight(40);
    m_parent->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_parent->setFrameShape(QFrame::StyledPanel);
    m_parent->setText(Q(m_logic.Parent()));

    QPushButton* add = Button(this, text::kAddButton, "addButton");
    add->setDefault(true);
    QPushButton* clear = Button(this, text::kClearParentButton, "clearParentButton");
    QPushButton* close = Button(this, text::kClose, "closeButton");

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(Q(text::kDeptNameLabel), this), 0, 0);
    grid->addWidget(m_name, 0, 1);
    grid->addWidget(new QLabel(Q(text::kParentDeptLabel), this), 1, 0, Qt::AlignTop);
    grid->addWidget(m_parent, 1, 1);
    auto* note = new QLabel(Q(text::kTopLevelNote), this);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(grid);
    outer->addWidget(note);
    outer->addLayout(ButtonRow({add, clear, close}));
    setFixedSize(sizeHint().expandedTo(QSize(360, 0)));

    connect(add, &QPushButton::clicked, this, [this] {
        if (m_logic.Add(S(m_name->text()))) m_name->clear();
        m_name->setFocus();
    });
    connect(clear, &QPushButton::clicked, this, [this] {
        m_logic.ClearParent();
        m_parent->setText(Q(m_logic.Parent()));
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    m_name->setFocus();
}

// --- 修改部门 ----------------------------------------------------------------

ChangeDeptDialog::ChangeDeptDialog(ChangeDeptLogic& logic, QWidget* parent)
    : QDialog(parent), m_logic(logic), m_name(new QLineEdit(this)) {
    setWindowTitle(Q(text::kChangeDeptTitle));
    setObjectName("changeDeptDialog");
    m_name->setObjectName("deptName");
    LimitLength(m_name, limits::kDeptName);
    m_tree = new DeptPickerView(m_logic.Tree(), this);
    m_tree->setObjectName("parentTree");
    m_tree->setMinimumSize(260, 260);

    QPushButton* submit = Button(this, text::kSubmit, "submitButton");
    submit->setDefault(true);
    QPushButton* close = Button(this, text::kClose, "closeButton");

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(Q(text::kDeptNameLabel), this), 0, 0);
    grid->addWidget(m_name, 0, 1);
    grid->addWidget(new QLabel(Q(text::kUpperDeptLabel), this), 1, 0, Qt::AlignTop);
    grid->addWidget(m_tree, 1, 1);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(grid);
    outer->addLayout(ButtonRow({submit, close}));

    connect(submit, &QPushButton::clicked, this, &ChangeDeptDialog::OnSubmit);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    m_logic.Open();
    m_name->setText(Q(m_logic.OldName()));
    m_name->setFocus();
}

void ChangeDeptDialog::OnSubmit() {
    switch (m_logic.Submit(S(m_name->text()), m_tree->SelectedNode())) {
        case ChangeDeptOutcome::kClose:
            accept();
            break;
        case ChangeDeptOutcome::kFocusName:
            m_name->setFocus();
            break;
        case ChangeDeptOutcome::kStayOpen:
            break;
    }
}

// --- 修改部门位置 ------------------------------------------------------------

OrderDeptDialog::OrderDeptDialog(OrderDeptLogic& logic, QWidget* parent)
    : QDialog(parent),
      m_logic(logic),
      m_last(new QRadioButton(Q(text::kPlaceLast), this)),
      m_chosen(new QRadioButton(Q(text::kPlaceChosen), this)),
      m_siblings(new QComboBox(this)),
      m_submit(Button(this, text::kOrderSubmit, "submitButton")) {
    setWindowTitle(Q(text::kOrderDeptTitle));
    setObjectName("orderDeptDialog");
    auto* name = new QLineEdit(this);
    name->setObjectName("deptName");
    SetReadOnly(name);
    m_last->setObjectName("placeLast");
    m_chosen->setObjectName("placeChosen");
    m_siblings->setObjectName("siblings");
    m_submit->setDefault(true);
    QPushButton* close = Button(this, text::kOrderClose, "closeButton");

    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(new QLabel(Q(text::kDeptNameLabel), this));
    nameRow->addWidget(name);
    auto* group = new QGroupBox(Q(text::kPositionGroup), this);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(m_last);
    auto* chooseRow = new QHBoxLayout;
    chooseRow->addWidget(m_chosen);
    chooseRow->addWidget(new QLabel(Q(text::kPlaceBefore), group));
    chooseRow->addWidget(m_siblings, 1);
    chooseRow->addWidget(new QLabel(Q(text::kPlaceBeforeEnd), group));
    groupLayout->addLayout(chooseRow);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(nameRow);
    outer->addWidget(group);
    outer->addLayout(ButtonRow({m_submit, close}));
    setMinimumWidth(380);

    connect(m_last, &QRadioButton::toggled, this, [this](bool on) { m_siblings->setEnabled(!on); });
    connect(m_submit, &QPushButton::clicked, this, [this] {
        if (m_logic.Submit(m_last->isChecked(), S(m_siblings->currentText()))) accept();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    m_last->setChecked(true);
    m_siblings->setEnabled(false);
    m_logic.Open();
    name->setText(Q(m_logic.Name()));
    for (const std::string& sibling : m_logic.Siblings()) m_siblings->addItem(Q(sibling));
    m_siblings->setCurrentIndex(m_logic.InitialChoice());
    m_submit->setEnabled(m_logic.CanSubmit());
}

}  // namespace warden::console

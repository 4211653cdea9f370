#include "console/core/UserSearchBox.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

namespace warden::console {

namespace {

QString Q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

constexpr int kAccountRole = Qt::UserRole;
constexpr int kDeptRole = Qt::UserRole + 1;

}  // namespace

UserSearchBox::UserSearchBox(Transport& transport, QWidget* parent)
    : QWidget(parent), m_logic(transport) {
    setObjectName("userSearchBar");
    m_box = new QLineEdit(this);
    m_box->setObjectName("userSearch");
    m_box->setPlaceholderText(QString::fromUtf8("搜索用户: 账号、姓名、手机、电话或电子邮件 (Ctrl+F)"));
    m_box->setClearButtonEnabled(true);
    m_box->installEventFilter(this);
    m_note = new QLabel(this);
    m_note->setObjectName("userSearchNote");
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_box, 1);
    row->addWidget(m_note);

    // A sibling of the box, so it can lie over the user list.
    m_results = new QTreeWidget(parent);
    m_results->setObjectName("userSearchResults");
    m_results->setColumnCount(3);
    m_results->setHeaderLabels(
        {QString::fromUtf8("账号"), QString::fromUtf8("姓名"), QString::fromUtf8("部门")});
    m_results->setRootIsDecorated(false);
    m_results->setUniformRowHeights(true);
    m_results->header()->setStretchLastSection(true);
    m_results->hide();
    m_results->installEventFilter(this);
    connect(m_results, &QTreeWidget::itemActivated, this, [this] { Choose(); });

    m_debounce.setSingleShot(true);
    m_debounce.setInterval(kDebounceMs);
    connect(&m_debounce, &QTimer::timeout, this, &UserSearchBox::SearchNow);
    connect(m_box, &QLineEdit::textEdited, this, [this] { m_debounce.start(); });
    connect(m_box, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty()) {  // the clear button
            m_logic.Clear();
            ShowHits();
        }
    });
}

void UserSearchBox::Focus() {
    m_box->setFocus(Qt::ShortcutFocusReason);
    m_box->selectAll();
}

void UserSearchBox::PlaceResults(const QRect& area) {
    m_area = area;
    ShowHits();
}

void UserSearchBox::SearchNow() {
    m_debounce.stop();
    if (m_logic.Search(m_box->text().toStdString()) || m_logic.Hits().empty()) ShowHits();
}

void UserSearchBox::ShowHits() {
    m_note->setText(Q(m_logic.Note()));
    m_results->clear();
    for (const UserHit& hit : m_logic.Hits()) {
        QString depts;
        for (const std::string& dept : hit.depts) {
            if (!depts.isEmpty()) depts += QString::fromUtf8("；");
            depts += Q(dept);
        }
        auto* item = new QTreeWidgetItem({Q(hit.account), Q(hit.name), depts});
        item->setData(0, kAccountRole, Q(hit.account));
        item->setData(0, kDeptRole, hit.depts.empty() ? QString() : Q(hit.depts.front()));
        m_results->addTopLevelItem(item);
    }
    if (m_logic.Hits().empty() || m_area.isEmpty()) {
        m_results->hide();
        return;
    }
    m_results->resizeColumnToContents(0);
    m_results->resizeColumnToContents(1);
    const int rows = static_cast<int>(m_logic.Hits().size());
    const int rowHeight = m_results->sizeHintForRow(0);
    const int wanted = m_results->header()->height() + rows * rowHeight + 4;
    m_results->setGeometry(m_area.x(), m_area.y(), m_area.width(),
                           std::min(m_area.height(), wanted));
    m_results->setCurrentItem(nullptr);
    m_results->show();
    m_results->raise();
}

void UserSearchBox::Choose() {
    if (m_debounce.isActive()) SearchNow();
    QTreeWidgetItem* item = m_results->currentItem();
    if (item == nullptr) item = m_results->topLevelItem(0);
    if (item == nullptr) return;
    const std::string account = item->data(0, kAccountRole).toString().toStdString();
    const std::string dept = item->data(0, kDeptRole).toString().toStdString();
    m_results->hide();
    if (m_chosen) m_chosen(dept, account);
}

bool UserSearchBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Escape) {
        m_results->hide();
        return true;
    }
    if (watched == m_box && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        Choose();
        return true;
    }
    if (watched == m_box && key == Qt::Key_Down && m_results->isVisible()) {
        m_results->setFocus();
        m_results->setCurrentItem(m_results->topLevelItem(0));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace warden::console

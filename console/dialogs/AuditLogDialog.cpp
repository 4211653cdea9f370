#include "console/dialogs/AuditLogDialog.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTreeView>
#include <QVBoxLayout>

#include "console/dialogs/DialogWidgets.h"

namespace warden::console {

namespace {

// "2024-05-01T08:30:00.250Z" as "2024-05-01 08:30:00.250": the header says UTC.
std::string ShownTime(std::string time) {
    if (time.size() == 24 && time[10] == 'T' && time.back() == 'Z') {
        time[10] = ' ';
        time.pop_back();
    }
    return time;
}

}  // namespace

// The logic's rows as a table; the logic tells it when rows come and go.
class AuditLogModel final : public QAbstractTableModel {
  public:
    AuditLogModel(const AuditLogLogic& logic, QObject* parent)
        : QAbstractTableModel(parent), m_logic(logic) {}

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_logic.Rows().size());
    }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : kColumns;
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
        const AuditRecord& r = m_logic.Rows()[static_cast<size_t>(index.row())];
        switch (index.column()) {
            case 0:
                return Q(ShownTime(r.time));
            case 1:
                return Q(r.account);
            case 2:
                return Q(AuditLevelLabel(r.level));
            case 3:
                return Q(AuditPeer(r));
            case 4:
                return Q(AuditActionLabel(r.request));
            case 5:
                return Q(r.target);
            case 6:
                return Q(r.outcome);
            case 7:
                return Q(r.detail);
        }
        return {};
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        static const char* const kHeaders[kColumns] = {"时间(UTC)", "帐号", "级别", "地址",
                                                       "操作",      "对象", "结果", "详情"};
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
        return Q(kHeaders[section]);
    }

    void BeginReset() { beginResetModel(); }
    void EndReset() { endResetModel(); }
    void BeginAppend(int first, int last) { beginInsertRows({}, first, last); }
    void EndAppend() { endInsertRows(); }

  private:
    static constexpr int kColumns = 8;
    const AuditLogLogic& m_logic;
};

AuditLogDialog::AuditLogDialog(AuditLogLogic& logic, QWidget* parent)
    : QDialog(parent), m_logic(logic) {
    setWindowTitle(Q("操作日志"));
    setObjectName("auditLogDialog");

    m_from = Box(this, "from");
    m_to = Box(this, "to");
    m_account = Box(this, "account");
    m_target = Box(this, "target");
    m_from->setPlaceholderText(Q("2024-05-01 或 2024-05-01 08:30"));
    m_to->setPlaceholderText(Q("含当天/当分钟"));
    QPushButton* search = Button(this, "查询(&Q)", "search");
    search->setDefault(true);

    auto* filters = new QGridLayout;
    filters->addWidget(new QLabel(Q("从(UTC):"), this), 0, 0);
    filters->addWidget(m_from, 0, 1);
    filters->addWidget(new QLabel(Q("到(UTC):"), this), 0, 2);
    filters->addWidget(m_to, 0, 3);
    filters->addWidget(new QLabel(Q("帐号:"), this), 1, 0);
    filters->addWidget(m_account, 1, 1);
    filters->addWidget(new QLabel(Q("对象包含:"), this), 1, 2);
    filters->addWidget(m_target, 1, 3);
    filters->addWidget(search, 1, 4);

    m_model = new AuditLogModel(m_logic, this);
    m_view = new QTreeView(this);
    m_view->setObjectName("entries");
    m_view->setModel(m_model);
    m_view->setRootIsDecorated(false);
    m_view->setItemsExpandable(false);
    m_view->setUniformRowHeights(true);  // thousands of rows stay cheap
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (auto [column, width] :
         {std::pair{0, 180}, {1, 90}, {2, 80}, {3, 130}, {4, 100}, {5, 150}, {6, 200}}) {
        m_view->setColumnWidth(column, width);
    }

    m_status = new QLabel(this);
    m_status->setObjectName("status");
    QPushButton* copy = Button(this, "复制(&C)", "copy");
    QPushButton* exportCsv = Button(this, "导出CSV(&E)...", "export");
    QPushButton* close = Button(this, "关闭", "close");
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_status, 1);
    bottom->addWidget(copy);
    bottom->addWidget(exportCsv);
    bottom->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_view, 1);
    layout->addLayout(bottom);
    resize(1100, 600);

    m_logic.SetObserver({[this] { m_model->BeginReset(); }, [this] { m_model->EndReset(); },
                         [this](int first, int last) { m_model->BeginAppend(first, last); },
                         [this] { m_model->EndAppend(); }});

    connect(search, &QPushButton::clicked, this, &AuditLogDialog::Search);
    connect(copy, &QPushButton::clicked, this, &AuditLogDialog::Copy);
    connect(exportCsv, &QPushButton::clicked, this, &AuditLogDialog::Export);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* copyKey = new QShortcut(QKeySequence::Copy, m_view);
    connect(copyKey, &QShortcut::activated, this, &AuditLogDialog::Copy);
    // Reaching the end of the list asks for the next batch.
    connect(m_view->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (value == m_view->verticalScrollBar()->maximum() && !m_logic.Complete()) {
            m_logic.WantMore();
            if (!m_pages.isActive()) m_pages.start();
        }
    });

    m_pages.setInterval(0);
    connect(&m_pages, &QTimer::timeout, this, &AuditLogDialog::LoadSome);
    Search();
}

AuditLogDialog::~AuditLogDialog() {
    m_pages.stop();
    m_logic.SetObserver({});
}

void AuditLogDialog::Search() {
    m_pages.stop();
    m_logic.Search({S(m_from->text().trimmed()), S(m_to->text().trimmed()),
                    S(m_account->text().trimmed()), S(m_target->text().trimmed())});
    UpdateStatus();
    if (!m_logic.Complete()) m_pages.start();
}

void AuditLogDialog::LoadSome() {
    if (!m_logic.LoadNextPage()) m_pages.stop();
    UpdateStatus();
}

void AuditLogDialog::UpdateStatus() {
    const int shown = static_cast<int>(m_logic.Rows().size());
    m_status->setText(m_logic.Complete() ? Q("共 %1 条").arg(shown)
                                         : Q("已显示 %1 条,滚动到底部继续加载").arg(shown));
}

std::vector<int> AuditLogDialog::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : m_view->selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void AuditLogDialog::Copy() {
    QApplication::clipboard()->setText(Q(m_logic.Csv(SelectedRows())));
}

void AuditLogDialog::Export() {
    const QString file =
        askExportFile
            ? askExportFile()
            : QFileDialog::getSaveFileName(this, Q("导出CSV"), Q("操作日志.csv"), Q("CSV (*.csv)"));
    if (file.isEmpty()) return;
    m_logic.ExportCsv(file.toStdString(), SelectedRows());
}

}  // namespace warden::console

#include "console/dialogs/AuditLogDialog.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "console/core/ConsoleTexts.h"
#include "console/dialogs/AuditLabels.h"
#include "console/dialogs/AuditTimes.h"
#include "console/dialogs/DialogWidgets.h"

namespace warden::console {

namespace {

enum Column { kTime, kAccount, kLevel, kPeer, kAction, kTarget, kOutcome, kDetail, kColumns };

// Fitted to the first rows, but never so wide that the others leave the window.
constexpr int kWidestColumn = 360;

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
        const bool tip = role == Qt::ToolTipRole;
        switch (index.column()) {
            case kTime:
                return tip ? Q(r.time) : Q(LocalTimeText(r.time, m_logic.Zone()));
            case kAccount:
                return Q(r.account);
            case kLevel:
                return Q(AuditLevelLabel(r.level));
            case kPeer:
                return Q(AuditPeer(r));
            case kAction:
                return tip ? Q(r.request) : Q(AuditActionLabel(r.request, r.detail));
            case kTarget:
                return Q(r.target);
            case kOutcome:
                return tip ? Q(r.outcome) : Q(AuditOutcomeText(r.outcome));
            case kDetail:
                return tip ? Q(r.detail) : Q(AuditDetailText(r.detail));
        }
        return {};
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
        if (section == kTime) return Q("时间(" + ZoneOffsetLabel(m_logic.Zone()) + ")");
        static const char* const kHeaders[kColumns] = {
            "", "帐号", "级别", "地址", "操作", "对象", "结果", "详情"};
        return Q(kHeaders[section]);
    }

    void BeginReset() { beginResetModel(); }
    void EndReset() { endResetModel(); }
    void BeginAppend(int first, int last) { beginInsertRows({}, first, last); }
    void EndAppend() { endInsertRows(); }

  private:
    const AuditLogLogic& m_logic;
};

AuditLogDialog::AuditLogDialog(AuditLogLogic& logic, AuditExport& exporter, QWidget* parent)
    : QDialog(parent), m_logic(logic), m_export(exporter) {
    setWindowTitle(Q("操作日志"));
    setObjectName("auditLogDialog");

    m_from = Box(this, "from");
    m_to = Box(this, "to");
    m_account = Box(this, "account");
    m_target = Box(this, "target");
    m_from->setPlaceholderText(Q("2024-05-01 或 2024-05-01 08:30"));
    m_to->setPlaceholderText(Q("含当天/当分钟"));
    m_operation = new QComboBox(this);
    m_operation->setObjectName("operation");
    m_operation->addItem(Q("全部操作"), QString());
    for (const AuditOperation& o : AuditOperations()) {
        m_operation->addItem(Q(o.label), Q(o.request));
    }
    m_outcome = new QComboBox(this);
    m_outcome->setObjectName("outcome");
    m_outcome->addItem(Q("全部结果"), QString());
    m_outcome->addItem(Q("成功"), Q(audit_outcome::kSuccess));
    m_outcome->addItem(Q("拒绝(没有权限)"), Q(audit_outcome::kRefused));
    m_outcome->addItem(Q("失败"), Q(audit_outcome::kFailed));
    QPushButton* search = Button(this, "查询(&Q)", "search");
    search->setDefault(true);
    auto* zone = new QLabel(Q("时间按本机时区 " + ZoneLabel(m_logic.Zone()) + " 显示和填写"), this);
    zone->setObjectName("zone");

    auto* filters = new QGridLayout;
    filters->addWidget(new QLabel(Q("从:"), this), 0, 0);
    filters->addWidget(m_from, 0, 1);
    filters->addWidget(new QLabel(Q("到:"), this), 0, 2);
    filters->addWidget(m_to, 0, 3);
    filters->addWidget(zone, 0, 4, 1, 2);
    filters->addWidget(new QLabel(Q("帐号:"), this), 1, 0);
    filters->addWidget(m_account, 1, 1);
    filters->addWidget(new QLabel(Q("对象包含:"), this), 1, 2);
    filters->addWidget(m_target, 1, 3);
    filters->addWidget(new QLabel(Q("操作:"), this), 2, 0);
    filters->addWidget(m_operation, 2, 1);
    filters->addWidget(new QLabel(Q("结果:"), this), 2, 2);
    filters->addWidget(m_outcome, 2, 3);
    filters->addWidget(search, 2, 5);
    filters->setColumnStretch(1, 1);
    filters->setColumnStretch(3, 1);

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
    m_view->header()->setStretchLastSection(true);

    m_status = new QLabel(this);
    m_status->setObjectName("status");
    QPushButton* copy = Button(this, "复制选中(&C)", "copy");
    QPushButton* exportCsv = Button(this, "导出CSV(&E)...", "export");
    exportCsv->setToolTip(Q("导出当前查询条件的全部记录, 不只是已显示的"));
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
    resize(1200, 640);

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
            if (!m_pages.isActive() && !m_exportSteps.isActive()) m_pages.start();
        }
    });

    m_pages.setInterval(0);
    connect(&m_pages, &QTimer::timeout, this, &AuditLogDialog::LoadSome);
    m_exportSteps.setInterval(0);
    connect(&m_exportSteps, &QTimer::timeout, this, &AuditLogDialog::ExportSome);
    Search();
}

AuditLogDialog::~AuditLogDialog() {
    m_pages.stop();
    m_exportSteps.stop();
    m_export.Cancel();
    m_logic.SetObserver({});
}

void AuditLogDialog::Search() {
    if (m_exportSteps.isActive()) return;  // the export keeps the search it started with
    m_pages.stop();
    m_logic.Search({S(m_from->text().trimmed()), S(m_to->text().trimmed()),
                    S(m_account->text().trimmed()), S(m_target->text().trimmed()),
                    S(m_operation->currentData().toString()),
                    S(m_outcome->currentData().toString())});
    if (!m_sized && !m_logic.Rows().empty()) {
        // Fitted once to what the first page holds, so that 结果 and the
        // rest are not cut; the reader may widen them after.
        m_sized = true;
        for (int column = 0; column + 1 < kColumns; ++column) {
            m_view->resizeColumnToContents(column);
            m_view->setColumnWidth(column, std::min(m_view->columnWidth(column), kWidestColumn));
        }
    }
    UpdateStatus();
    if (!m_logic.Complete()) m_pages.start();
}

void AuditLogDialog::LoadSome() {
    if (!m_logic.LoadNextPage()) m_pages.stop();
    UpdateStatus();
}

void AuditLogDialog::UpdateStatus() {
    const int shown = static_cast<int>(m_logic.Rows().size());
    // As the main window does: no connection is not an empty trail.
    m_status->setStyleSheet(m_logic.Offline() ? "color: #c00000;" : "");
    if (m_logic.Offline()) {
        m_status->setText(Q(text::kConnectionLost));
    } else if (m_logic.Complete()) {
        m_status->setText(Q("共 %1 条").arg(shown));
    } else {
        m_status->setText(Q("已显示 %1 条, 滚动到底部继续加载").arg(shown));
    }
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
    if (m_exportSteps.isActive()) return;
    m_pages.stop();  // the export's requests go first
    const std::optional<int64_t> total = m_export.CountMatching(m_logic.Filter());
    if (!total) {
        UpdateStatus();
        if (!m_logic.Complete()) m_pages.start();
        return;
    }
    // Says before the file is chosen what will be in it.
    const QString title = *total >= 0 ? Q("导出CSV: 当前查询条件的全部 %1 条").arg(*total)
                                      : Q("导出CSV: 当前查询条件的全部记录");
    m_exportFile = askExportFile ? askExportFile(title)
                                 : QFileDialog::getSaveFileName(this, title, Q("操作日志.csv"),
                                                                Q("CSV (*.csv)"));
    if (m_exportFile.isEmpty() || !m_export.Start(m_logic.Filter(), m_exportFile.toStdString())) {
        if (!m_logic.Complete()) m_pages.start();
        return;
    }
    m_progress = new QProgressDialog(Q("正在导出操作日志..."), Q("取消"), 0,
                                     static_cast<int>(std::max<int64_t>(*total, 0)), this);
    m_progress->setObjectName("exportProgress");
    m_progress->setWindowTitle(Q("导出CSV"));
    m_progress->setAttribute(Qt::WA_DeleteOnClose);
    m_progress->setMinimumDuration(0);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    connect(m_progress, &QProgressDialog::canceled, this, [this] {
        m_export.Cancel();
        EndExport();
    });
    m_progress->show();
    m_exportSteps.start();
}

void AuditLogDialog::ExportSome() {
    const bool more = m_export.Step();
    if (m_progress) {
        const int written = static_cast<int>(m_export.Written());
        if (m_progress->maximum() > 0 && written >= m_progress->maximum()) {
            m_progress->setMaximum(written);  // entries written since the count
        }
        m_progress->setValue(written);
        m_progress->setLabelText(Q("正在导出操作日志... 已写 %1 条").arg(written));
    }
    if (!more) EndExport();
}

void AuditLogDialog::EndExport() {
    m_exportSteps.stop();
    if (m_progress) {
        // Closing it says "canceled" once more.
        QObject::disconnect(m_progress, nullptr, this, nullptr);
        m_progress->close();
    }
    UpdateStatus();
    if (m_export.Done()) {
        m_status->setText(Q("已导出 %1 条到 ").arg(m_export.Written()) + m_exportFile);
    }
    if (!m_logic.Complete()) m_pages.start();
}

}  // namespace warden::console

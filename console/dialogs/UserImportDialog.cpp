#include "console/dialogs/UserImportDialog.h"

#include <QAbstractTableModel>
#include <QBrush>
#include <QButtonGroup>
#include <QColor>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "console/dialogs/DialogWidgets.h"

namespace warden::console {

namespace {

std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ";") + item;
    return text;
}

QColor StateColour(ImportState state) {
    switch (state) {
        case ImportState::kInvalid:
        case ImportState::kRefused:
        case ImportState::kUnknown:
            return {190, 0, 0};
        case ImportState::kExisting:
        case ImportState::kSkipped:
        case ImportState::kNotRun:
            return {160, 100, 0};
        case ImportState::kAdded:
        case ImportState::kUpdated:
            return {0, 120, 0};
        default:
            return {};
    }
}

}  // namespace

// The logic's rows as a table: 行, 结果, 帐号, 姓名, 部门, 角色, 说明.
class ImportRowsModel final : public QAbstractTableModel {
  public:
    ImportRowsModel(const UserImportLogic& logic, QObject* parent)
        : QAbstractTableModel(parent), m_logic(logic) {}

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_logic.Rows().size());
    }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : kColumns;
    }

    QVariant data(const QModelIndex& index, int role) const override {
        const ImportRow& r = m_logic.Rows()[static_cast<size_t>(index.row())];
        if (role == Qt::ForegroundRole && (index.column() == 1 || index.column() == 6)) {
            QColor colour = StateColour(r.state);
            return colour.isValid() ? QVariant(QBrush(colour)) : QVariant();
        }
        if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
        switch (index.column()) {
            case 0:
                return r.line;
            case 1:
                return Q(ImportStateLabel(r.state));
            case 2:
                return Q(r.user.account);
            case 3:
                return Q(r.user.name);
            case 4:
                return Q(Joined(r.user.depts));
            case 5:
                return Q(Joined(r.user.roles));
            case 6:
                return Q(r.note);
        }
        return {};
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        static const char* const kHeaders[kColumns] = {"行",   "结果", "帐号", "姓名",
                                                       "部门", "角色", "说明"};
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
        return Q(kHeaders[section]);
    }

    void Reset() {
        beginResetModel();
        endResetModel();
    }
    void Changed() {
        if (rowCount({}) > 0) emit dataChanged(index(0, 0), index(rowCount({}) - 1, kColumns - 1));
    }

  private:
    static constexpr int kColumns = 7;
    const UserImportLogic& m_logic;
};

UserImportDialog::UserImportDialog(UserImportLogic& logic, QWidget* parent)
    : QDialog(parent), m_logic(logic) {
    setWindowTitle(Q("导入用户"));
    setObjectName("userImportDialog");

    m_file = new QLabel(this);
    m_file->setObjectName("file");
    m_summary = new QLabel(this);
    m_summary->setObjectName("summary");
    QPushButton* choose = Button(this, "选择文件(&F)...", "choose");

    m_model = new ImportRowsModel(m_logic, this);
    m_view = new QTreeView(this);
    m_view->setObjectName("rows");
    m_view->setModel(m_model);
    m_view->setRootIsDecorated(false);
    m_view->setItemsExpandable(false);
    m_view->setUniformRowHeights(true);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (auto [column, width] :
         {std::pair{0, 45}, {1, 70}, {2, 100}, {3, 90}, {4, 180}, {5, 100}}) {
        m_view->setColumnWidth(column, width);
    }

    m_skip = new QRadioButton(Q("跳过"), this);
    m_skip->setObjectName("skipExisting");
    m_update = new QRadioButton(Q("用文件中的资料更新"), this);
    m_update->setObjectName("updateExisting");
    m_skip->setChecked(true);  // nothing that exists changes unless asked for
    auto* existing = new QButtonGroup(this);
    existing->addButton(m_skip);
    existing->addButton(m_update);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName("progress");
    m_progressText = new QLabel(this);
    m_progressText->setObjectName("progressText");
    m_start = Button(this, "开始导入(&S)", "start");
    m_cancel = Button(this, "取消(&C)", "cancel");
    m_report = Button(this, "导出报告(&E)...", "report");
    QPushButton* close = Button(this, "关闭", "close");

    auto* top = new QGridLayout;
    top->addWidget(new QLabel(Q("文件:"), this), 0, 0);
    top->addWidget(m_file, 0, 1);
    top->addWidget(choose, 0, 2);
    top->addWidget(m_summary, 1, 0, 1, 3);
    top->setColumnStretch(1, 1);
    auto* choice = new QHBoxLayout;
    choice->addWidget(new QLabel(Q("已存在的帐号:"), this));
    choice->addWidget(m_skip);
    choice->addWidget(m_update);
    choice->addStretch();
    auto* progress = new QHBoxLayout;
    progress->addWidget(m_progress);
    progress->addWidget(m_progressText, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* b : {m_start, m_cancel, m_report, close}) buttons->addWidget(b);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_view, 1);
    layout->addLayout(choice);
    layout->addLayout(progress);
    layout->addLayout(buttons);
    resize(960, 560);

    connect(choose, &QPushButton::clicked, this, &UserImportDialog::ChooseFile);
    connect(m_start, &QPushButton::clicked, this, &UserImportDialog::StartImport);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_logic.Cancel();
        ShowState();
    });
    connect(m_report, &QPushButton::clicked, this, &UserImportDialog::SaveReport);
    connect(close, &QPushButton::clicked, this, &UserImportDialog::reject);
    m_steps.setInterval(0);
    connect(&m_steps, &QTimer::timeout, this, &UserImportDialog::RunSome);
    ShowState();
}

bool UserImportDialog::ChooseFile() {
    const ImportPhase phase = m_logic.Phase();
    if (phase == ImportPhase::kChecking || phase == ImportPhase::kRunning) return false;
    const QString file =
        askImportFile ? askImportFile()
                      : QFileDialog::getOpenFileName(this, Q("导入用户"), {},
                                                     Q("CSV (*.csv *.txt);;所有文件 (*)"));
    if (file.isEmpty()) return false;
    const bool loaded = m_logic.Load(file.toStdString());
    m_model->Reset();
    if (loaded) {
        m_file->setText(QFileInfo(file).fileName() + Q("  (编码: %1)").arg(EncodingName(m_logic.Encoding())));
        m_steps.start();
    }
    ShowState();
    return loaded;
}

void UserImportDialog::RunSome() {
    if (!m_logic.Step()) m_steps.stop();
    m_model->Changed();
    ShowState();
}

void UserImportDialog::StartImport() {
    m_logic.Start(m_update->isChecked() ? ExistingAccounts::kUpdate : ExistingAccounts::kSkip);
    m_model->Changed();
    m_steps.start();
    ShowState();
}

void UserImportDialog::SaveReport() {
    const QString file =
        askReportFile ? askReportFile()
                      : QFileDialog::getSaveFileName(this, Q("导出报告"), Q("导入报告.csv"),
                                                     Q("CSV (*.csv)"));
    if (!file.isEmpty()) m_logic.ExportReport(file.toStdString());
}

void UserImportDialog::reject() {
    const ImportPhase phase = m_logic.Phase();
    if (phase == ImportPhase::kChecking || phase == ImportPhase::kRunning) {
        m_logic.Cancel();
        m_model->Changed();
        ShowState();
        return;
    }
    m_steps.stop();
    QDialog::reject();
}

void UserImportDialog::ShowState() {
    const ImportPhase phase = m_logic.Phase();
    const bool busy = phase == ImportPhase::kChecking || phase == ImportPhase::kRunning;
    const int existing = m_logic.Count(ImportState::kExisting);
    const int toSend = m_logic.Count(ImportState::kNew) + existing;
    m_start->setEnabled(phase == ImportPhase::kReady && toSend > 0);
    m_cancel->setEnabled(busy);
    m_report->setEnabled(phase == ImportPhase::kDone);
    m_skip->setEnabled(phase == ImportPhase::kReady && existing > 0);
    m_update->setEnabled(phase == ImportPhase::kReady && existing > 0);

    QString summary = Q(m_logic.Summary());
    if (phase == ImportPhase::kReady && m_logic.Count(ImportState::kInvalid) > 0) {
        summary += Q("  (有错误的行不会导入)");
    }
    m_summary->setText(phase == ImportPhase::kEmpty ? Q("请选择要导入的CSV文件") : summary);
    const ImportProgress progress = m_logic.Progress();
    m_progress->setVisible(phase != ImportPhase::kEmpty);
    m_progress->setRange(0, std::max(progress.total, 1));
    m_progress->setValue(progress.done);
    if (phase == ImportPhase::kChecking) {
        m_progressText->setText(Q("正在检查: ") + Q(ImportProgressText(progress)));
    } else if (phase == ImportPhase::kRunning || phase == ImportPhase::kDone) {
        m_progressText->setText(Q(phase == ImportPhase::kRunning ? "正在导入: " : "导入结束: ") +
                                Q(ImportProgressText(progress)));
    } else {
        m_progressText->setText(phase == ImportPhase::kReady ? Q("检查完毕, 可以开始导入") : QString());
    }
}

}  // namespace warden::console

#include "console/dialogs/UserExportDialog.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "console/dialogs/DialogWidgets.h"
#include "protocol/SplitList.h"

namespace warden::console {

UserExportDialog::UserExportDialog(UserExportLogic& logic, QWidget* parent)
    : QDialog(parent), m_logic(logic) {
    setWindowTitle(Q("导出用户"));
    setObjectName("userExportDialog");
    auto* dept = new QLabel(Q("部门: ") + Q(m_logic.DeptPath()), this);
    m_subDepts = new QCheckBox(Q("包括所有下级部门的用户"), this);
    m_subDepts->setObjectName("subDepts");
    m_subDepts->setChecked(true);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName("progress");
    m_status = new QLabel(this);
    m_status->setObjectName("status");
    m_status->setWordWrap(true);
    m_start = Button(this, "导出(&E)...", "start");
    m_start->setDefault(true);
    m_cancel = Button(this, "取消(&C)", "cancel");
    QPushButton* close = Button(this, "关闭", "close");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(dept);
    layout->addWidget(m_subDepts);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    layout->addLayout(ButtonRow({m_start, m_cancel, close}));
    resize(460, 180);

    connect(m_start, &QPushButton::clicked, this, &UserExportDialog::Start);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_logic.Cancel();
        ShowState();
    });
    connect(close, &QPushButton::clicked, this, &UserExportDialog::reject);
    m_steps.setInterval(0);
    connect(&m_steps, &QTimer::timeout, this, &UserExportDialog::RunSome);
    ShowState();
}

void UserExportDialog::Start() {
    std::vector<std::string> names = SplitList(m_logic.DeptPath(), "\\");
    const QString suggested = Q(names.empty() ? "用户" : names.back()) + ".csv";
    m_target = askFile ? askFile()
                       : QFileDialog::getSaveFileName(this, Q("导出用户"), suggested,
                                                      Q("CSV (*.csv)"));
    if (m_target.isEmpty()) return;
    m_logic.Start(m_subDepts->isChecked());
    m_steps.start();
    ShowState();
}

void UserExportDialog::RunSome() {
    if (!m_logic.Step()) {
        m_steps.stop();
        if (m_logic.Phase() == ExportPhase::kDone && !m_logic.Save(m_target.toStdString())) {
            m_target.clear();
        }
    }
    ShowState();
}

void UserExportDialog::reject() {
    if (m_steps.isActive()) {
        m_logic.Cancel();
        m_steps.stop();
        ShowState();
        return;
    }
    QDialog::reject();
}

void UserExportDialog::ShowState() {
    const ExportPhase phase = m_logic.Phase();
    const bool busy = phase == ExportPhase::kListing || phase == ExportPhase::kReading;
    m_start->setEnabled(!busy);
    m_subDepts->setEnabled(!busy);
    m_cancel->setEnabled(busy);
    m_progress->setVisible(phase != ExportPhase::kIdle);
    if (phase == ExportPhase::kListing) {
        m_progress->setRange(0, 0);  // how many there are is not known yet
    } else {
        m_progress->setRange(0, std::max(m_logic.UsersFound(), 1));
        m_progress->setValue(phase == ExportPhase::kReading ? m_logic.UsersRead()
                                                            : m_progress->maximum());
    }
    QString status = Q(m_logic.ProgressText());
    if (phase == ExportPhase::kDone && !m_target.isEmpty()) {
        status = Q("已导出 %1 个用户到 %2").arg(m_logic.UsersRead() - m_logic.UsersGone()).arg(m_target);
        if (m_logic.UsersGone() > 0) {
            status += Q("; %1 个用户在导出期间已被删除").arg(m_logic.UsersGone());
        }
    } else if (phase == ExportPhase::kDone) {
        status = Q("没有写入文件");
    } else if (phase == ExportPhase::kStopped) {
        status = Q("导出已停止, 没有写入文件");
    }
    m_status->setText(status);
}

}  // namespace warden::console

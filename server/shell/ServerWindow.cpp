#include "server/shell/ServerWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSystemTrayIcon>
#include <QVBoxLayout>
#include <utility>

#include "server/shell/PortKeyFilter.h"
#include "server/shell/StderrView.h"

namespace warden {

namespace {

constexpr const char kWindowTitle[] = "VEX分级管理服务器";
constexpr const char kTrayTip[] = "VEX分级管理-服务器";
constexpr const char kExitQuestion[] = "确定要关闭程序并退出么?";

QMessageBox::Icon BoxIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::kWarning:
            return QMessageBox::Warning;
        case MessageIcon::kError:
            return QMessageBox::Critical;
        case MessageIcon::kInformation:
            break;
    }
    return QMessageBox::Information;
}

}  // namespace

QIcon ServerWindow::ProgramIcon() {
    // Drawn rather than shipped as a binary: a blue tile with a white "W".
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0x1f, 0x5f, 0xa8));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(1, 1, 30, 30, 6, 6);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(20);
    painter.setFont(font);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, "W");
    return QIcon(pixmap);
}

ServerWindow::ServerWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(kWindowTitle);
    setWindowIcon(ProgramIcon());

    m_imAddress = new QLineEdit(this);
    m_imAddress->setObjectName("imAddress");
    // Only a whole dotted address is acceptable; shorter text may be typed
    // on the way to one, and Start refuses it.
    static const QRegularExpression kIpv4(
        R"(^((25[0-5]|2[0-4]\d|1?\d?\d)\.){3}(25[0-5]|2[0-4]\d|1?\d?\d)$)");
    m_imAddress->setValidator(new QRegularExpressionValidator(kIpv4, m_imAddress));
    m_imPort = new QLineEdit(this);
    m_imPort->setObjectName("imPort");
    m_listenPort = new QLineEdit(this);
    m_listenPort->setObjectName("listenPort");
    auto* filter = new PortKeyFilter(this);
    m_imPort->installEventFilter(filter);
    m_listenPort->installEventFilter(filter);
    m_imPort->setMaximumWidth(70);
    m_listenPort->setMaximumWidth(70);

    // Empty until the server has started: it is the certificate in use.
    m_fingerprint = new QLabel(this);
    m_fingerprint->setObjectName("fingerprint");
    m_fingerprint->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_fingerprint->setVisible(false);

    m_start = new QPushButton("启动(&S)", this);
    m_start->setObjectName("start");
    m_start->setDefault(true);
    m_exit = new QPushButton("退出(&E)", this);
    m_exit->setObjectName("exit");
    m_exit->setAutoDefault(false);

    auto* fields = new QHBoxLayout;
    fields->addWidget(new QLabel("VEX服务器IP:", this));
    fields->addWidget(m_imAddress, 1);
    fields->addWidget(new QLabel("端口:", this));
    fields->addWidget(m_imPort);
    fields->addWidget(new QLabel("监听端口:", this));
    fields->addWidget(m_listenPort);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_start);
    buttons->addWidget(m_exit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(m_fingerprint);
    layout->addLayout(buttons);

    connect(m_start, &QPushButton::clicked, this, &ServerWindow::startRequested);
    connect(m_exit, &QPushButton::clicked, this, &ServerWindow::AskToExit);

    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_trayMenu = new QMenu(this);
        m_trayMenu->addAction("打开主窗口", this, &ServerWindow::ShowFromTray);
        m_tray = new QSystemTrayIcon(ProgramIcon(), this);
        m_tray->setToolTip(kTrayTip);
        m_tray->setContextMenu(m_trayMenu);
        connect(m_tray, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::DoubleClick) ShowFromTray();
                });
        m_tray->show();
    }
}

void ServerWindow::SetSettings(const StartSettings& s) {
    m_imAddress->setText(QString::fromStdString(s.imAddress));
    m_imPort->setText(QString::fromStdString(s.imPort));
    m_listenPort->setText(QString::fromStdString(s.listenPort));
}

StartSettings ServerWindow::Settings() const {
    return {m_imAddress->text().toStdString(), m_imPort->text().toStdString(),
            m_listenPort->text().toStdString()};
}

void ServerWindow::ShowMessage(const std::string& text, const std::string& caption,
                               MessageIcon icon) {
    const QString qtext = QString::fromStdString(text);
    const QString qcaption = QString::fromStdString(caption);
    if (messageShown) {
        messageShown(qtext, qcaption);
        return;
    }
    QMessageBox box(BoxIcon(icon), qcaption, qtext, QMessageBox::Ok, this);
    box.exec();
}

void ServerWindow::ShowRequestError(const std::string& text, const std::string& detail) {
    SayOnStderr("error: " + detail);
    // Called from a request worker: the box is shown later, on the window's
    // thread, and the worker goes on at once.
    QMetaObject::invokeMethod(
        this,
        [this, text] {
            if (m_errorShowing) {
                ++m_errorsWhileShowing;
                return;
            }
            m_errorShowing = true;
            ShowMessage(text, kServerTitle, MessageIcon::kError);
            while (m_errorsWhileShowing > 0) {
                const int more = std::exchange(m_errorsWhileShowing, 0);
                ShowMessage("另有" + std::to_string(more) + "个错误，详见错误输出", kServerTitle,
                            MessageIcon::kError);
            }
            m_errorShowing = false;
        },
        Qt::QueuedConnection);
}

void ServerWindow::FocusField(SettingField field) {
    switch (field) {
        case SettingField::kImAddress:
            m_imAddress->setFocus();
            break;
        case SettingField::kImPort:
            m_imPort->setFocus();
            break;
        case SettingField::kListenPort:
            m_listenPort->setFocus();
            break;
    }
}

void ServerWindow::SetStartEnabled(bool enabled) {
    m_start->setEnabled(enabled);
}

void ServerWindow::ShowFingerprint(const std::string& fingerprint) {
    SayOnStderr("TLS certificate fingerprint (SHA-256): " + fingerprint);
    m_fingerprint->setText("加密连接证书指纹 (SHA-256):\n" + QString::fromStdString(fingerprint));
    m_fingerprint->setVisible(true);
}

void ServerWindow::ShowFromTray() {
    setWindowFlag(Qt::Tool, false);
    showNormal();
    raise();
    activateWindow();
}

void ServerWindow::HideToTray() {
    if (!m_tray) {
        // Without a tray the window could never come back: only minimise it.
        if (!isMinimized()) showMinimized();
        return;
    }
    setWindowFlag(Qt::Tool, true);  // no taskbar button while hidden
    hide();
}

void ServerWindow::AskToExit() {
    const bool ok =
        confirm ? confirm(kExitQuestion)
                : QMessageBox::question(this, kWindowTitle, kExitQuestion,
                                        QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
    if (ok) emit exitConfirmed();
}

void ServerWindow::ShowAbout() {
    QMessageBox box(this);
    box.setWindowTitle("About warden-server");
    box.setIconPixmap(ProgramIcon().pixmap(32, 32));
    box.setText("VEX管理服务器端 Version 1.0");
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

void ServerWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    HideToTray();
}

void ServerWindow::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() && m_tray) {
        HideToTray();
    }
}

void ServerWindow::contextMenuEvent(QContextMenuEvent* event) {
    // This platform gives a program no system menu of its own to extend.
    QMenu menu(this);
    menu.addAction("&About warden-server...", this, &ServerWindow::ShowAbout);
    menu.exec(event->globalPos());
}

}  // namespace warden

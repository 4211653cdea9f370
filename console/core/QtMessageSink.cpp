#include "console/core/QtMessageSink.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace warden::console {

namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QWidget* MessageOwner() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return QApplication::activeWindow();
}

void QtMessageSink::ShowMessage(MessageIcon icon, std::string_view caption, std::string_view text) {
    QMessageBox::Icon shown = icon == MessageIcon::kError     ? QMessageBox::Critical
                              : icon == MessageIcon::kWarning ? QMessageBox::Warning
                                                              : QMessageBox::Information;
    QMessageBox box(shown, FromUtf8(caption), FromUtf8(text), QMessageBox::Ok, MessageOwner());
    box.button(QMessageBox::Ok)->setText(QString::fromUtf8("确定"));
    box.exec();
}

bool QtMessageSink::AskOkCancel(std::string_view caption, std::string_view question) {
    QMessageBox box(QMessageBox::Question, FromUtf8(caption), FromUtf8(question),
                    QMessageBox::Ok | QMessageBox::Cancel, MessageOwner());
    box.button(QMessageBox::Ok)->setText(QString::fromUtf8("确定"));
    box.button(QMessageBox::Cancel)->setText(QString::fromUtf8("取消"));
    return box.exec() == QMessageBox::Ok;
}

}  // namespace warden::console

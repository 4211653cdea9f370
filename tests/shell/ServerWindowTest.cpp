#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <thread>

#include "server/shell/PortKeyFilter.h"
#include "server/shell/ServerWindow.h"

namespace warden {
namespace {

QKeyEvent Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    return QKeyEvent(QEvent::KeyPress, key, modifiers);
}

TEST(PortKeyFilterTest, OnlyMainKeyboardDigitsAndEditingKeysPass) {
    for (int key : {Qt::Key_0, Qt::Key_5, Qt::Key_9, Qt::Key_Left, Qt::Key_Right, Qt::Key_Up,
                    Qt::Key_Down, Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Tab}) {
        EXPECT_TRUE(IsPortKey(Press(key))) << key;
    }
    EXPECT_FALSE(IsPortKey(Press(Qt::Key_7, Qt::KeypadModifier)));
    for (int key : {Qt::Key_A, Qt::Key_Minus, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape,
                    Qt::Key_Space, Qt::Key_Period}) {
        EXPECT_FALSE(IsPortKey(Press(key))) << key;
    }
}

TEST(ServerWindowTest, PortFieldsTakeOnlyDigits) {
    ServerWindow window;
    auto* port = window.findChild<QLineEdit*>("listenPort");
    ASSERT_NE(port, nullptr);
    port->setFocus();
    for (auto [key, text] : {std::pair{Qt::Key_8, "8"}, {Qt::Key_A, "a"}, {Qt::Key_0, "0"}}) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, text);
        QCoreApplication::sendEvent(port, &event);
    }
    QKeyEvent keypad(QEvent::KeyPress, Qt::Key_1, Qt::KeypadModifier, "1");
    QCoreApplication::sendEvent(port, &keypad);
    EXPECT_EQ(port->text(), "80");
}

TEST(ServerWindowTest, ExitNeedsConfirmationAndCloseOnlyHides) {
    ServerWindow window;
    window.show();
    QSignalSpy exits(&window, &ServerWindow::exitConfirmed);
    QStringList asked;
    bool answer = false;
    window.confirm = [&](const QString& q) {
        asked << q;
        return answer;
    };

    window.close();  // title-bar close box
    EXPECT_EQ(exits.count(), 0);
    EXPECT_TRUE(asked.isEmpty());

    window.findChild<QPushButton*>("exit")->click();  // Cancel keeps everything
    EXPECT_EQ(asked, QStringList{"确定要关闭程序并退出么?"});
    EXPECT_EQ(exits.count(), 0);

    answer = true;
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &escape);
    EXPECT_EQ(exits.count(), 1);
}

TEST(ServerWindowTest, SettingsRoundTripAndStartCanBeDisabled) {
    ServerWindow window;
    window.SetSettings({"10.1.2.3", "8006", "8800"});
    StartSettings s = window.Settings();
    EXPECT_EQ(s.imAddress, "10.1.2.3");
    EXPECT_EQ(s.imPort, "8006");
    EXPECT_EQ(s.listenPort, "8800");
    QSignalSpy starts(&window, &ServerWindow::startRequested);
    auto* start = window.findChild<QPushButton*>("start");
    start->click();
    EXPECT_EQ(starts.count(), 1);
    window.SetStartEnabled(false);
    start->click();
    EXPECT_EQ(starts.count(), 1);
    EXPECT_EQ(window.windowTitle(), "VEX分级管理服务器");
}

TEST(ServerWindowTest, TheAddressIsAcceptableOnlyAsAWholeDottedAddress) {
    ServerWindow window;
    auto* address = window.findChild<QLineEdit*>("imAddress");
    for (auto [text, whole] : {std::pair{"10.1", false}, {"10.1.2.", false}, {"10.1.2.3", true}}) {
        address->setText(text);
        EXPECT_EQ(address->hasAcceptableInput(), whole) << text;
    }
}

TEST(ServerWindowTest, ButtonMnemonicsWorkFromThePortFields) {
    ServerWindow window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QSignalSpy starts(&window, &ServerWindow::startRequested);
    int exitsAsked = 0;
    window.confirm = [&](const QString&) {
        ++exitsAsked;
        return false;
    };
    for (const char* name : {"imPort", "listenPort"}) {
        auto* port = window.findChild<QLineEdit*>(name);
        port->clear();
        // A mnemonic clicks its button after a short animation, and takes
        // the focus to it.
        port->setFocus();
        QTest::keyClick(port, Qt::Key_S, Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([&] { return starts.count() == 1; }, 2000)) << name;
        port->setFocus();
        QTest::keyClick(port, Qt::Key_E, Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([&] { return exitsAsked == 1; }, 2000)) << name;
        port->setFocus();
        QTest::keyClick(port, Qt::Key_X, Qt::AltModifier);  // no button: nothing typed
        EXPECT_EQ(port->text(), "") << name;
        starts.clear();
        exitsAsked = 0;
    }
}

TEST(ServerWindowTest, RequestErrorsFromWorkersAreShownOnTheWindowsThread) {
    ServerWindow window;
    QStringList shown;
    Qt::HANDLE shownOn = nullptr;
    window.messageShown = [&](const QString& text, const QString& caption) {
        shown << text + "|" + caption;
        shownOn = QThread::currentThreadId();
    };
    std::thread worker([&] { window.ShowRequestError("error", "lookup failed"); });
    worker.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(shown, QStringList{"error|warden-server"});
    EXPECT_EQ(shownOn, QThread::currentThreadId());
}

}  // namespace
}  // namespace warden

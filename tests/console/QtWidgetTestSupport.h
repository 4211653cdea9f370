// What the console's offscreen widget tests share: one QApplication for the
// whole test program, UTF-8 literals as QString, and finding a control by its
// object name (a missing one fails the test, not the process).
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPalette>
#include <QString>
#include <QWidget>

namespace warden::console::test {

class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "console_widget_tests";
        static char* argv[] = {name, nullptr};
        m_app = new QApplication(argc, argv);
    }
    void TearDown() override { delete m_app; }

  private:
    QApplication* m_app = nullptr;
};

// Registers the environment once per test program that includes this header.
inline const auto* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

inline QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// Types `text` into `box` one character at a time, as the keyboard (or an
// input method) would; QTest's own typing knows ASCII only.
inline void Type(QWidget* box, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(box, &press);
    }
}

// Whether a box shows the window's background, as read-only boxes do.
inline bool LooksReadOnly(const QWidget* box) {
    return box->palette().color(QPalette::Base) == box->palette().color(QPalette::Window);
}

template <typename T>
T* Child(QWidget& parent, const char* name) {
    T* child = parent.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

}  // namespace warden::console::test

// Lets only the keys a port number needs reach a port field: the digit keys
// of the main keyboard, the arrows, Backspace, Delete and Tab. Everything else
// (keypad digits, Enter and Escape included) is swallowed by the field.
// Alt combinations pass, so the buttons' mnemonics work from these fields.
#pragma once

#include <QObject>

class QKeyEvent;

namespace warden {

// True when `event` may reach a port field.
bool IsPortKey(const QKeyEvent& event);

class PortKeyFilter : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace warden

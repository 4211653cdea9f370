// The port box takes only the digit keys of the main keyboard, the arrow
// keys, Backspace, Delete and Tab; every other key press is dropped before
// it reaches the box.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QObject>

namespace warden::console {

bool IsAllowedPortKey(int key, Qt::KeyboardModifiers modifiers);

class PortKeyFilter final : public QObject {
    Q_OBJECT

  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace warden::console

#include "console/core/PortKeyFilter.h"

#include <QKeyEvent>

namespace warden::console {

bool IsAllowedPortKey(int key, Qt::KeyboardModifiers modifiers) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return !(modifiers & Qt::KeypadModifier);
    switch (key) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Backspace:
        case Qt::Key_Delete:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:  // Shift+Tab
            return true;
        default:
            return false;
    }
}

bool PortKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!IsAllowedPortKey(key->key(), key->modifiers())) return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace warden::console

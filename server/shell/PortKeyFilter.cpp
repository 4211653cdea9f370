#include "server/shell/PortKeyFilter.h"

#include <QKeyEvent>

namespace warden {

bool IsPortKey(const QKeyEvent& event) {
    const int key = event.key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        return !(event.modifiers() & Qt::KeypadModifier);
    }
    switch (key) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Backspace:
        case Qt::Key_Delete:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return true;
        default:
            return false;
    }
}

bool PortKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
        const auto& key = *static_cast<QKeyEvent*>(event);
        // Alt combinations are the window's button mnemonics: not claiming
        // them lets the shortcut run. One that no shortcut takes comes back
        // as a key press and is swallowed like any other key.
        if (event->type() == QEvent::ShortcutOverride && (key.modifiers() & Qt::AltModifier)) {
            return QObject::eventFilter(watched, event);
        }
        if (!IsPortKey(key)) {
            event->accept();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace warden

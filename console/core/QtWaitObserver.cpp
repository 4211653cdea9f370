#include "console/core/QtWaitObserver.h"

#include <QApplication>
#include <QEventLoop>

namespace warden::console {

void QtWaitObserver::StillWaiting() {
    if (!m_pointerShown) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_pointerShown = true;
    }
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtWaitObserver::WaitEnds() {
    if (m_pointerShown) QApplication::restoreOverrideCursor();
    m_pointerShown = false;
}

}  // namespace warden::console

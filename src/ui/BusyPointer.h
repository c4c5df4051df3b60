#pragma once

#include <QCursor>
#include <QGuiApplication>

// The hourglass pointer for as long as the object lives; the default pointer again on every way
// out of the scope.
class BusyPointer {
public:
    BusyPointer() {
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
            m_set = true;
        }
    }
    ~BusyPointer() { release(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

    void release() {
        if (m_set)
            QGuiApplication::restoreOverrideCursor();
        m_set = false;
    }

private:
    bool m_set = false;
};

#include "app/Program.h"

#include <QFileDialog>
#include <QMessageBox>

Program::Program(SerialPort &port)
    : m_window(m_log)
    , m_operations(m_state, m_window, port, m_pump, m_log)
{
    m_operations.setSaveDialog([this](const QString &filter) -> std::optional<QString> {
        const QString path = QFileDialog::getSaveFileName(&m_window, QString(), QString(), filter);
        if (path.isEmpty())
            return std::nullopt;
        return path;
    });
    m_operations.setMessageBox([this](const QString &message) {
        QMessageBox::warning(&m_window, m_window.windowTitle(), message);
    });
    m_operations.StartUp();
    m_window.wire(m_operations);
}

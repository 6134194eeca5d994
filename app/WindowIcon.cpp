#include "app/WindowIcon.h"

#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QWidget>

namespace {

// The same PNGs the desktop entry's icon theme gets.
QIcon toolIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/tolvane-%1.png").arg(size));
    return icon;
}

class FirstFrameWatch : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // Queued: after this paint and its flush to the screen.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    QApplication::setWindowIcon(toolIcon());
                    deleteLater();
                },
                Qt::QueuedConnection);
        }
        return false;
    }
};

} // namespace

void setIconAfterFirstFrame(QWidget &window)
{
    window.installEventFilter(new FirstFrameWatch(&window));
}

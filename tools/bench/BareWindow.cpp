// The floor of the start-up figures: an empty Qt Widgets window of the tool's client size, so the
// figure shows what the tool adds to what starting Qt and mapping a window cost anyway.
#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare"));
    window.resize(843, 583); // Tolvane's main window
    window.show();
    return application.exec();
}

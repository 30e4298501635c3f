// The floor of the start-up row: a bare Qt Widgets program showing an empty window.
#include "shown.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    new bench::ShownReporter(&window);
    window.show();
    return QApplication::exec();
}

// The floor of the start-up row: a plain Qt Widgets program showing the main window the plainest way
// (plainwindow.h). With --empty it shows an empty window instead, for information beside it.
#include "plainwindow.h"
#include "shown.h"

#include <QApplication>

#include <cstring>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    if (argc < 2 || std::strcmp(argv[1], "--empty") != 0)
        bench::PlainMainWindow(&window);
    new bench::ShownReporter(&window);
    window.show();
    return QApplication::exec();
}

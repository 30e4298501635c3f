// The program's start as main() runs it (set-up, the main window's load, show), with one addition: it
// prints "shown" when the main window has first been painted, then ends without the shutdown work.
#include "shown.h"

#include "app/program.h"
#include "report/frmworvane.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    worvane::ConfigureApplication(app);
    worvane::frmWorvane window;
    if (!window.load())
        return 3;
    new bench::ShownReporter(&window);
    window.show();
    return QApplication::exec();
}

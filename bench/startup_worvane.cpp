// The program's start as main() runs it (set-up, lock, settings, the main window, show), with one addition:
// it prints "shown" when the main window has first been painted, then ends without the shutdown work.
#include "shown.h"

#include "app/startup.h"
#include "main/program.h"
#include "report/frmworvane.h"
#include "store/open/openstore.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    worvane::ConfigureApplication(app);
    if (!worvane::CheckPrevInstance())
        return 3;
    const worvane::Settings settings =
        worvane::LoadSettings(QCoreApplication::applicationDirPath(), worvane::UserConfigFolder());
    const std::unique_ptr<worvane::Store> store = worvane::OpenStore(settings.databasePath);
    worvane::CheckDatabaseFile(*store);
    worvane::frmWorvane window(settings, *store);
    new bench::ShownReporter(&window);
    window.show();
    return QApplication::exec();
}

#include "main/program.h"

#include "app/startup.h"

#include "report/frmworvane.h"
#include "store/open/openstore.h"
#include "widgets/screen.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <cstring>

namespace worvane
{

namespace
{
const char *const Usage =
    "usage: worvane [--help | --version]\n"
    "  Opens the daily work report window (日報) over the database that Worvane.ini names:\n"
    "  Worvane.ini beside the program, or ~/.config/worvane/Worvane.ini for an installed copy.\n"
    "  Qt's own options (such as -platform NAME) are passed on to Qt.\n"
    "  --help     prints this text\n"
    "  --version  prints the version\n"
    "  See worvane(1).\n";

// --help or --version, answered from the bare arguments: nothing else is set up for them, so they work
// without a display, and with another copy of the program running.
bool AnswerInformation(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(Usage, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("worvane " WORVANE_VERSION "\n", stdout);
            return true;
        }
    }
    return false;
}
} // namespace

void ConfigureApplication(QApplication &app)
{
    QApplication::setApplicationName(QStringLiteral("Worvane"));
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));

    auto *translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);

    QApplication::setFont(ScreenFont(9.75));
}

int RunProgram(int argc, char **argv)
{
    if (AnswerInformation(argc, argv))
        return 0; // before any window, lock or settings
    QApplication app(argc, argv);
    ConfigureApplication(app);
    if (!CheckPrevInstance())
        return 0; // another copy runs: no window, no settings read, no compaction
    Settings settings = LoadSettings(QCoreApplication::applicationDirPath(), UserConfigFolder());
    // The one store of the session, over the settings' database: a file, or the team database.
    const std::unique_ptr<Store> store = OpenStore(settings.databasePath);
    CheckDatabaseFile(*store);
    int status = 0;
    {
        frmWorvane window(settings, *store);
        window.setNotice(BackupNotice(settings));
        window.show();
        status = QApplication::exec();
    }
    // Closing the window, by any way, ends here: the database is compacted on the way out, then copied.
    CompactMdb(*store);
    BackUpAtExit(*store, settings);
    return status;
}

} // namespace worvane

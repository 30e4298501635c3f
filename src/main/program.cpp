#include "main/program.h"

#include "app/startup.h"

#include "common/screen.h"
#include "report/frmworvane.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace worvane
{

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
    QApplication app(argc, argv);
    ConfigureApplication(app);
    if (!CheckPrevInstance())
        return 0; // another copy runs: no window, no settings read, no compaction
    Settings settings = LoadSettings(QCoreApplication::applicationDirPath(), UserConfigFolder());
    CheckDatabaseFile(settings);
    int status = 0;
    {
        frmWorvane window(settings);
        window.show();
        status = QApplication::exec();
    }
    // Closing the window, by any way, ends here: the database is compacted on the way out.
    CompactMdb(settings.databasePath);
    return status;
}

} // namespace worvane

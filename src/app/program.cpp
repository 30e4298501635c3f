#include "app/program.h"

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
    frmWorvane window;
    if (!window.load())
        return 0;
    window.show();
    return QApplication::exec();
}

} // namespace worvane

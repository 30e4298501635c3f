#include "app/savefiledialog.h"

#include "app/inictrl.h"
#include "app/messagepresenter.h"

#include <QFileDialog>
#include <QFileInfo>

namespace worvane
{

namespace
{
SaveFileDialog::Handler &handler()
{
    static SaveFileDialog::Handler h;
    return h;
}
} // namespace

void SaveFileDialog::setHandler(Handler h)
{
    handler() = std::move(h);
}

namespace
{
const QString FoldersSection = QStringLiteral("Save Folders");

// The folder kept for a kind of file, when it is still there.
QString keptFolder(const SaveDialogRequest &request)
{
    if (request.kind.isEmpty() || request.iniPath.isEmpty())
        return {};
    const QString folder = GetIniString(FoldersSection, request.kind, request.iniPath);
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

// Keeps the folder of a chosen file, when the settings file can hold it whole (its values are cut at
// 199 bytes, in CP932).
void keepFolder(const SaveDialogRequest &request, const QString &path)
{
    if (request.kind.isEmpty() || request.iniPath.isEmpty())
        return;
    const QString folder = QFileInfo(path).absolutePath();
    if (folder == keptFolder(request))
        return;
    if (!WriteIniString(FoldersSection, request.kind, folder, request.iniPath))
        qCWarning(lcUi).noquote() << "the folder of the saved file could not be kept in" << request.iniPath;
    else if (GetIniString(FoldersSection, request.kind, request.iniPath) != folder)
        WriteIniString(FoldersSection, request.kind, QString(), request.iniPath); // not whole: none kept
}
} // namespace

std::optional<SaveChoice> SaveFileDialog::choose(QWidget *parent, SaveDialogRequest request)
{
    qCInfo(lcUi).noquote() << "save dialog" << request.suggestedName;
    request.folder = keptFolder(request);
    std::optional<SaveChoice> chosen;
    if (handler()) {
        chosen = handler()(request);
    } else {
        QFileDialog dialog(parent);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setNameFilters(request.filters);
        dialog.selectNameFilter(request.filters.value(0));
        dialog.setDefaultSuffix(QString());
        if (!request.folder.isEmpty())
            dialog.setDirectory(request.folder);
        dialog.selectFile(request.suggestedName);
        const int result = dialog.exec();
        ReturnFocusTo(parent);
        if (result == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen.emplace(dialog.selectedFiles().constFirst(),
                           std::max<int>(0, request.filters.indexOf(dialog.selectedNameFilter())));
    }
    if (!chosen) {
        qCInfo(lcUi) << "save dialog cancelled";
        return std::nullopt;
    }
    qCInfo(lcUi).noquote() << "save dialog chose" << chosen->path;
    keepFolder(request, chosen->path);
    return chosen;
}

} // namespace worvane

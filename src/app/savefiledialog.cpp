#include "app/savefiledialog.h"

#include "app/messagepresenter.h"

#include <QFileDialog>

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

std::optional<QString> SaveFileDialog::choose(QWidget *parent, const SaveDialogRequest &request)
{
    qCInfo(lcUi).noquote() << "save dialog" << request.suggestedName;
    if (handler())
        return handler()(request);

    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(request.filters);
    dialog.selectNameFilter(request.filters.value(0));
    dialog.setDefaultSuffix(QString());
    dialog.selectFile(request.suggestedName);
    const int result = dialog.exec();
    ReturnFocusTo(parent);
    if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        qCInfo(lcUi) << "save dialog cancelled";
        return std::nullopt;
    }
    qCInfo(lcUi).noquote() << "save dialog chose" << dialog.selectedFiles().constFirst();
    return dialog.selectedFiles().constFirst();
}

} // namespace worvane

#include "app/savefiledialog.h"

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
    if (handler())
        return handler()(request);

    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(request.filters);
    dialog.selectNameFilter(request.filters.value(0));
    dialog.setDefaultSuffix(QString());
    dialog.selectFile(request.suggestedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace worvane

#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;

namespace worvane
{

struct SaveDialogRequest {
    QStringList filters;   // "caption (patterns)", the first one selected
    QString suggestedName; // no folder, no extension
};

// The file-save dialog: the chosen path, or nothing when the user cancelled. No extension is added to
// the name the user typed.
class SaveFileDialog
{
public:
    static std::optional<QString> choose(QWidget *parent, const SaveDialogRequest &request);

    // Tests hand the next chosen path (or a cancel) here instead of on the screen.
    using Handler = std::function<std::optional<QString>(const SaveDialogRequest &)>;
    static void setHandler(Handler handler);
};

} // namespace worvane

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
    // The kind of file (a key of the settings file's "Save Folders" section) and the settings file: the
    // dialog opens in the folder a file of this kind was saved in last, and remembers the folder chosen.
    QString kind;
    QString iniPath;
    QString folder; // filled in by choose(): the folder the dialog opens in ("" for the usual one)
};

// What the user chose: the path, and which filter was selected (its place in the request's list).
struct SaveChoice {
    SaveChoice(QString p, int f = 0) : path(std::move(p)), filter(f) {}
    QString path;
    int filter;
};

// The file-save dialog: the choice, or nothing when the user cancelled. No extension is added to the
// name the user typed.
class SaveFileDialog
{
public:
    static std::optional<SaveChoice> choose(QWidget *parent, SaveDialogRequest request);

    // Tests hand the next choice (or a cancel) here instead of on the screen.
    using Handler = std::function<std::optional<SaveChoice>(const SaveDialogRequest &)>;
    static void setHandler(Handler handler);
};

} // namespace worvane

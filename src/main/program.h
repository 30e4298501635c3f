#pragma once

class QApplication;

namespace worvane
{

// Language, fonts and Qt's own texts in Japanese.
void ConfigureApplication(QApplication &app);

// The whole program: set-up, the main window, the event loop. Returns the exit code.
int RunProgram(int argc, char **argv);

} // namespace worvane

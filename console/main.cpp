// warden-console: the administrators' desktop console.
#include <QApplication>
#include <utility>

#include "console/core/ConsoleApp.h"
#include "console/core/QtTranslations.h"
#include "console/dialogs/ConsoleDialogs.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("warden-console");
    warden::console::InstallQtTranslations();
    warden::console::DialogRegistry dialogs;
    warden::console::RegisterConsoleDialogs(dialogs);
    warden::console::ConsoleApp console(std::move(dialogs));
    return console.Run();
}

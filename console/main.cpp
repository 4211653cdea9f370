// warden-console: the administrators' desktop console.
#include <QApplication>

#include "console/core/ConsoleApp.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("warden-console");
    warden::console::ConsoleApp console;
    return console.Run();
}

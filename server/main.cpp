#include "server/shell/ServerMain.h"

int main(int argc, char** argv) {
    return warden::ServerMain(argc, argv);
}

// The server program: command line, start-up and the headless run.
#pragma once

namespace warden {

int ServerMain(int argc, char** argv);

}  // namespace warden

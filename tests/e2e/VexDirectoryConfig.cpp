#include "tests/e2e/E2eDirectory.h"

namespace warden::test {

// The embedded directory is the default and lives in each server's base
// directory: nothing to say.
std::string DirectoryConfig() {
    return {};
}

}  // namespace warden::test

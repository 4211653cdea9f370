#include <stdexcept>

#include "server/store/AdminStore.h"
#include "server/store/Odbc.h"
#include "tests/store/StoreBackend.h"
#include "tests/support/ServerProcess.h"

namespace warden::test {

std::string MakeFreshStore(AdminStore& store) {
    std::string problem;
    if (!store.EnsureDataFile(BinaryDir(), problem)) throw std::runtime_error(problem);
    return DefaultAdminStoreConnection();
}

std::string MakeEmptyDatabase(const std::filesystem::path& dir) {
    static int count = 0;
    // Without NoCreat the driver makes the file.
    return "DRIVER=" + SqliteOdbcDriver() +
           ";Database=" + (dir / ("empty" + std::to_string(++count) + ".db")).string();
}

}  // namespace warden::test

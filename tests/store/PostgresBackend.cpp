#include "server/store/AdminStore.h"
#include "tests/store/StoreBackend.h"
#include "tests/support/PostgresCluster.h"

namespace warden::test {

std::string MakeFreshStore(AdminStore& store) {
    const std::string connection = SharedPostgres().CreateDatabase();
    store.InitDatabase(connection);
    return connection;
}

std::string MakeEmptyDatabase(const std::filesystem::path&) {
    return SharedPostgres().CreateDatabase();
}

}  // namespace warden::test

// A PostgreSQL catalogue: not in this build yet.
#include "catalogue/catalogue_store.h"

std::unique_ptr<CatalogueStore> Cat_OpenPostgres(const std::string& uri, bool, std::string& error) {
    error = uri + ": this build cannot use a PostgreSQL catalogue";
    return nullptr;
}

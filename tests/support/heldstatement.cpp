#include "support/heldstatement.h"

#include <ibase.h>

#include <type_traits>

static_assert(std::is_same_v<FB_API_HANDLE, unsigned>, "handles are kept as unsigned");

HeldStatement::HeldStatement(const DatabaseSettings& settings, const std::string& table)
{
    ISC_STATUS_ARRAY st{};
    const std::string name = settings.DatabaseName();
    std::string dpb{char(isc_dpb_version1), char(isc_dpb_user_name), 6};
    dpb += "SYSDBA";
    dpb += {char(isc_dpb_password), 9};
    dpb += "copperelk";
    isc_attach_database(st, short(name.size()), name.c_str(), &db_, short(dpb.size()), dpb.data());
    if (!st[1]) isc_start_transaction(st, &tr_, 1, &db_, 0, nullptr);
    if (!st[1]) isc_dsql_allocate_statement(st, &db_, &stmt_);
    const std::string sql = "SELECT * FROM " + table;
    if (!st[1]) isc_dsql_prepare(st, &tr_, &stmt_, 0, sql.c_str(), 3, nullptr);
    ok = st[1] == 0;
}

HeldStatement::~HeldStatement()
{
    ISC_STATUS_ARRAY st{};
    if (stmt_) isc_dsql_free_statement(st, &stmt_, DSQL_drop);
    if (tr_) isc_commit_transaction(st, &tr_);
    if (db_) isc_detach_database(st, &db_);
}

#pragma once
// Another client that keeps a statement on a table prepared, as an idle program whose
// database layer does not free its statements would: the table stays in use.
#include <string>

#include "settings/settings.h"

class HeldStatement {
public:
    HeldStatement(const DatabaseSettings& settings, const std::string& table);
    ~HeldStatement();
    HeldStatement(const HeldStatement&) = delete;
    HeldStatement& operator=(const HeldStatement&) = delete;
    bool ok = false;

private:
    unsigned db_ = 0, tr_ = 0, stmt_ = 0;
};

// The HTML the service shows: the customer-service chat page (/kefu) and the
// catalogue's pages that "issue", "tutorial" and "wangpan" rows point at.
#pragma once

#include <string>

#include "Call.h"
#include "Catalog.h"
#include "Reply.h"

class Pages {
public:
    explicit Pages(const Catalog& catalog) : catalog_(catalog) {}

    // Shows the c1..c5 (and "from") values it was opened with.
    Reply Kefu(const Call& call) const;
    // /pages/<name>
    Reply Page(const Call& call) const;

    static std::string Escape(const std::string& text);

private:
    const Catalog& catalog_;
};

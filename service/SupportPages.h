// Pages for the maker's support staff:
//   GET /support/reports         every crash report received: time, tag, product, version, size
//   GET /support/reports/<id>    one report's stack trace, read from its archive: resolved
//                                from the symbol store (see ResolvedTrace) beside the
//                                trace as reported, and a link to the archive
//   GET /support/archives/<id>   the report's archive, as a download
// A report whose archive is refused (see ReportTrace) answers 422 with the reason.
#pragma once

#include "Reply.h"
#include "SymbolStore.h"
#include "Router.h"
#include "Uploads.h"

class SupportPages {
public:
    SupportPages(const Uploads& uploads, const SymbolStore& symbols) : uploads_(uploads), symbols_(symbols) {}

    void AddTo(Router& router);
    Reply List() const;
    Reply Trace(const std::string& id) const;
    Reply Archive(const std::string& id) const;

private:
    const Uploads& uploads_;
    const SymbolStore& symbols_;
};

// Pages for the maker's support staff:
//   GET /support/reports         every crash report received: time, tag, product, version, size
//   GET /support/reports/<id>    one report's stack trace, read from its archive
// A report whose archive is refused (see ReportTrace) answers 422 with the reason.
#pragma once

#include "Reply.h"
#include "Router.h"
#include "Uploads.h"

class SupportPages {
public:
    explicit SupportPages(const Uploads& uploads) : uploads_(uploads) {}

    void AddTo(Router& router);
    Reply List() const;
    Reply Trace(const std::string& id) const;

private:
    const Uploads& uploads_;
};

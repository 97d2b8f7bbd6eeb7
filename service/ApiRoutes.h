// The JSON API the two programs call:
//   GET  /helper/ping
//   GET  /helper/config?name=quorvex
//   GET  /helper/solution?name=quorvex&versionid=N&pluginid=N  (rows with FileDigests' values)
//   GET  /fallback/config.json
//   POST /api/fixer/client/dump   (multipart crash report)
// Identity parameters (version, system, product, exeName, 64bit, ...) are ignored.
#pragma once

#include <string>

#include "Catalog.h"
#include "FileDigests.h"
#include "HostileCatalog.h"
#include "Router.h"
#include "Uploads.h"

class ApiRoutes {
public:
    static constexpr const char* kProductName = "quorvex";

    ApiRoutes(const Catalog& catalog, const HostileCatalog& hostile, Uploads& uploads, std::string fallbackHead,
              const FileDigests& digests)
        : catalog_(catalog),
          hostile_(hostile),
          uploads_(uploads),
          fallbackHead_(std::move(fallbackHead)),
          digests_(digests) {}

    void AddTo(Router& router);

private:
    Reply Config(const Call& call) const;
    Reply Solution(const Call& call) const;
    Reply Fallback(const Call& call) const;

    const Catalog& catalog_;
    const HostileCatalog& hostile_;  // replaces the replies while a test selects it
    Uploads& uploads_;
    std::string fallbackHead_;
    const FileDigests& digests_;  // for the real catalogue's rows
};

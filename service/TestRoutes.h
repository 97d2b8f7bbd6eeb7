// The channel tests use to watch and steer the service (never logged, never
// faulted):
//   GET    /test/log            requests so far      DELETE /test/log    forget them
//   POST   /test/fault          set a fault (JSON)   DELETE /test/fault  clear all
//   GET    /test/uploads        upload metadata
//   GET    /test/upload/<id>    stored upload bytes
//   POST   /test/catalog        serve hostile replies  DELETE /test/catalog  the real ones again
//                               (see HostileCatalog.h)
#pragma once

#include "Faults.h"
#include "HostileCatalog.h"
#include "RequestLog.h"
#include "Router.h"
#include "Uploads.h"

class TestRoutes {
public:
    TestRoutes(RequestLog& log, Faults& faults, Uploads& uploads, HostileCatalog& hostile)
        : log_(log), faults_(faults), uploads_(uploads), hostile_(hostile) {}

    void AddTo(Router& router);

private:
    Reply SetFault(const Call& call);
    Reply SelectCatalog(const Call& call);

    RequestLog& log_;
    Faults& faults_;
    Uploads& uploads_;
    HostileCatalog& hostile_;
};

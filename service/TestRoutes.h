// The channel tests use to watch and steer the service (never logged, never
// faulted):
//   GET    /test/log            requests so far      DELETE /test/log    forget them
//   POST   /test/fault          set a fault (JSON)   DELETE /test/fault  clear all
//   GET    /test/uploads        upload metadata
//   GET    /test/upload/<id>    stored upload bytes
#pragma once

#include "Faults.h"
#include "RequestLog.h"
#include "Router.h"
#include "Uploads.h"

class TestRoutes {
public:
    TestRoutes(RequestLog& log, Faults& faults, Uploads& uploads) : log_(log), faults_(faults), uploads_(uploads) {}

    void AddTo(Router& router);

private:
    Reply SetFault(const Call& call);

    RequestLog& log_;
    Faults& faults_;
    Uploads& uploads_;
};

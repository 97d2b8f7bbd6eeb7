#include "TestRoutes.h"

#include <stdexcept>

#include "JsonText.h"

void TestRoutes::AddTo(Router& router) {
    router.Add("GET", "/test/log", [this](const Call&) { return Reply::Json(log_.ToJson()); });
    router.Add("DELETE", "/test/log", [this](const Call&) {
        log_.Clear();
        return Reply::Ok();
    });
    router.Add("POST", "/test/fault", [this](const Call& call) { return SetFault(call); });
    router.Add("DELETE", "/test/fault", [this](const Call&) {
        faults_.Clear();
        return Reply::Ok();
    });
    router.Add("POST", "/test/catalog", [this](const Call& call) { return SelectCatalog(call); });
    router.Add("DELETE", "/test/catalog", [this](const Call&) {
        hostile_.Reset();
        return Reply::Ok();
    });
    router.Add("GET", "/test/uploads", [this](const Call&) { return Reply::Json(uploads_.List()); });
    router.Add("GET", "/test/upload/*", [this](const Call& call) {
        auto file = uploads_.Open(call.captures.at(0));
        return file ? Reply::Stream(std::move(file)) : Reply::Error(404, "no such upload");
    });
}

Reply TestRoutes::SetFault(const Call& call) {
    std::string why;
    const auto doc = JsonText::Parse(call.req.body, &why);
    if (!doc) return Reply::Error(400, "fault is not JSON: " + why);
    try {
        faults_.Set(Fault::FromJson(*doc));
    } catch (const std::invalid_argument& error) {
        return Reply::Error(400, error.what());
    }
    return Reply::Ok();
}

Reply TestRoutes::SelectCatalog(const Call& call) {
    std::string why;
    const auto doc = JsonText::Parse(call.req.body, &why);
    if (!doc) return Reply::Error(400, "selection is not JSON: " + why);
    why = hostile_.Select(*doc);
    return why.empty() ? Reply::Ok() : Reply::Error(400, why);
}

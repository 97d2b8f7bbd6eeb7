#include "ContentRoutes.h"

#include "FileSource.h"

void ContentRoutes::AddTo(Router& router) {
    router.Add("GET", "/files/*", [this](const Call& call) { return Download(call); });
    router.Add("GET", "/kefu", [this](const Call& call) { return pages_.Kefu(call); });
    router.Add("GET", "/hostile/*", [](const Call& call) {
        Reply reply = Reply::Html("hostile name: " + call.captures.at(0) + "\n");
        reply.contentType = "application/octet-stream";
        return reply;
    });
    router.Add("GET", "/pages/*", [this](const Call& call) { return pages_.Page(call); });
}

Reply ContentRoutes::Download(const Call& call) const {
    const std::string& name = call.captures.at(0);
    if (!FileSource::IsSafeName(name)) return Reply::Error(400, "bad file name");
    auto file = FileSource::Open(filesDir_, name);
    if (!file) return Reply::Error(404, "no such file: " + name);
    return Reply::Stream(std::move(file));
}

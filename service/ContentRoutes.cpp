#include "ContentRoutes.h"

#include "FileSource.h"
#include "Pattern.h"

void ContentRoutes::AddTo(Router& router) {
    router.Add("GET", "/files/*", [this](const Call& call) { return Download(call); });
    router.Add("GET", "/kefu", [this](const Call& call) { return pages_.Kefu(call); });
    // What a hotel or airport network answers in place of any file.
    router.Add("GET", "/hostile/portal/*", [](const Call&) {
        return Reply::Html("<!DOCTYPE html><html><body><form>Wi-Fi login</form></body></html>\n");
    });
    // Program names among them must not fail the programs' header check for being hostile.
    router.Add("GET", "/hostile/*", [](const Call& call) {
        const std::string start(reinterpret_cast<const char*>(kPatternPrefix), sizeof kPatternPrefix);
        Reply reply = Reply::Html(start + "hostile name: " + call.captures.at(0) + "\n");
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

#include "SupportPages.h"

#include "Pages.h"
#include "ReportTrace.h"

namespace {

const char kHead[] =
    "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Crash reports</title>"
    "<style>body{font-family:sans-serif}td,th{padding:2px 10px;text-align:left}"
    "pre{background:#f4f4f4;padding:8px}</style></head><body>\n";
const char kTail[] = "</body></html>\n";

std::string PartValue(const Json::Value& meta, const std::string& name) {
    for (const Json::Value& part : meta["parts"])
        if (part["name"].asString() == name) return part["value"].asString();
    return "";
}

std::string Cell(const std::string& text) { return "<td>" + Pages::Escape(text) + "</td>"; }

}  // namespace

void SupportPages::AddTo(Router& router) {
    router.Add("GET", "/support/reports", [this](const Call&) { return List(); });
    router.Add("GET", "/support/reports/*", [this](const Call& call) { return Trace(call.captures.at(0)); });
}

Reply SupportPages::List() const {
    const Json::Value uploads = uploads_.List();
    std::string html = std::string(kHead) + "<h1>Crash reports</h1>\n<table id=\"reports\">\n"
                       "<tr><th>time</th><th>tag</th><th>product</th><th>version</th><th>size</th></tr>\n";
    for (const Json::Value& meta : uploads) {
        const std::string id = meta["id"].asString();
        html += "<tr id=\"" + Pages::Escape(id) + "\">" + Cell(meta["time"].asString()) + Cell(PartValue(meta, "tag")) +
                Cell(PartValue(meta, "product")) + Cell(PartValue(meta, "version")) +
                Cell(std::to_string(meta["size"].asUInt64())) + "<td><a href=\"/support/reports/" +
                Pages::Escape(id) + "\">stack trace</a></td></tr>\n";
    }
    if (uploads.empty()) html += "<tr><td colspan=\"5\">No reports yet.</td></tr>\n";
    return Reply::Html(html + "</table>\n" + kTail);
}

Reply SupportPages::Trace(const std::string& id) const {
    const auto path = uploads_.PathOf(id);
    if (!path) return Reply::Error(404, "no such report");
    const ReportTrace trace = ReportTrace::Read(*path);
    std::string html = std::string(kHead) + "<h1>Report " + Pages::Escape(id) + "</h1>\n";
    if (!trace.ok) {
        Reply reply = Reply::Html(html + "<p id=\"refused\">The archive was refused: " + Pages::Escape(trace.text) +
                                  "</p>\n" + kTail);
        reply.status = 422;
        return reply;
    }
    return Reply::Html(html + "<p>" + Pages::Escape(trace.entry) + "</p>\n<pre id=\"trace\">" +
                       Pages::Escape(trace.text) + "</pre>\n" + kTail);
}

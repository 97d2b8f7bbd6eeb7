#include "SupportPages.h"

#include "Pages.h"
#include "ReportTrace.h"
#include "ResolvedTrace.h"

namespace {

const char kHead[] =
    "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Crash reports</title>"
    "<style>body{font-family:sans-serif}td,th{padding:2px 10px;text-align:left}"
    "pre{background:#f4f4f4;padding:8px;overflow-x:auto}.traces{display:flex;gap:16px}"
    ".traces section{flex:1;min-width:0}#resolved{white-space:pre-wrap;overflow-wrap:anywhere}"
    ".note{color:#a00000}</style></head><body>\n";
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
    router.Add("GET", "/support/archives/*", [this](const Call& call) { return Archive(call.captures.at(0)); });
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
    const ResolvedTrace resolved = ResolvedTrace::Resolve(trace.text, symbols_);
    html += "<p>" + Pages::Escape(trace.entry) + " &middot; <a id=\"archive\" href=\"/support/archives/" +
            Pages::Escape(id) + "\" download>download the archive</a></p>\n";
    for (const std::string& note : resolved.notes) html += "<p class=\"note\">" + Pages::Escape(note) + "</p>\n";
    return Reply::Html(html + "<div class=\"traces\"><section><h2>Resolved</h2><pre id=\"resolved\">" +
                       Pages::Escape(resolved.text) + "</pre></section>\n<section><h2>As reported</h2><pre id=\"trace\">" +
                       Pages::Escape(trace.text) + "</pre></section></div>\n" + kTail);
}

Reply SupportPages::Archive(const std::string& id) const {
    auto file = uploads_.Open(id);
    if (!file) return Reply::Error(404, "no such report");
    Reply reply = Reply::Stream(std::move(file));
    reply.contentType = "application/x-7z-compressed";
    // The id is a name this service made up.
    reply.headers.emplace_back("Content-Disposition", "attachment; filename=\"" + id + "\"");
    return reply;
}

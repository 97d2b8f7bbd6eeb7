#include "Pages.h"

#include "FileSource.h"

namespace {

const char* kKefuHead = R"(<!DOCTYPE html>
<html lang="zh-CN">
<head><meta charset="utf-8"><title>在线客服</title>
<style>
body{font-family:"Microsoft YaHei",sans-serif;margin:0;background:#f2f3f5;color:#333}
header{background:#e62c2c;color:#fff;padding:12px 16px;font-size:16px}
.chat{padding:16px;max-width:640px;margin:auto}
.msg{background:#fff;border-radius:6px;padding:10px 12px;margin:8px 0;max-width:80%}
.me{background:#95ec69;margin-left:auto}
dl{font-size:12px;color:#888}dt{float:left;width:3em}
footer{display:flex;gap:8px;padding:12px 16px;max-width:640px;margin:auto}
footer input{flex:1;padding:8px}footer button{background:#e62c2c;color:#fff;border:0;padding:8px 16px}
</style></head>
<body>
<header>Vantoro 在线客服</header>
<div class="chat">
<div class="msg">您好，我是客服小V，请问有什么可以帮您？</div>
<div class="msg">请描述您遇到的问题，我们会尽快回复（工作时间 9:00-21:00）。</div>
<dl id="context">
)";

const char* kKefuTail = R"(</dl>
</div>
<footer><input placeholder="请输入您的问题……"><button>发送</button></footer>
</body>
</html>
)";

}  // namespace

std::string Pages::Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

Reply Pages::Kefu(const Call& call) const {
    std::string html = kKefuHead;
    for (const char* key : {"from", "c1", "c2", "c3", "c4", "c5"}) {
        const auto value = call.Param(key);
        if (value) html += std::string("<dt>") + key + "</dt><dd id=\"" + key + "\">" + Escape(*value) + "</dd>\n";
    }
    return Reply::Html(html + kKefuTail);
}

Reply Pages::Page(const Call& call) const {
    const std::string& name = call.captures.at(0);
    if (!FileSource::IsSafeName(name)) return Reply::Error(400, "bad page name");
    const auto page = catalog_.Page(name, call.base);
    if (!page) return Reply::Error(404, "no such page: " + name);
    return Reply::Html(*page);
}

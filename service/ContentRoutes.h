// What the programs download or open in a browser:
//   GET /files/<name>        download files, streamed; name percent-decoded
//   GET /kefu?c1=..&c5=..    customer-service chat page
//   GET /pages/<name>.html   pages for "issue", "tutorial" and "wangpan" rows
//   GET /hostile/portal/<anything>  a captive portal's login page, whatever the name
//   GET /hostile/<anything>  a few bytes, whatever the name (the hostile catalogue's rows):
//                            the pattern's PE start, then "hostile name: <anything>\n"
#pragma once

#include <filesystem>

#include "Pages.h"
#include "Router.h"

class ContentRoutes {
public:
    ContentRoutes(const Catalog& catalog, std::filesystem::path filesDir)
        : pages_(catalog), filesDir_(std::move(filesDir)) {}

    void AddTo(Router& router);

private:
    Reply Download(const Call& call) const;

    Pages pages_;
    std::filesystem::path filesDir_;
};

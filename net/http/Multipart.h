// Body of a multipart/form-data POST: text fields and files, in order.
#pragma once
#include <initializer_list>
#include <string>
#include <vector>

namespace http {

struct Part {
    static Part Text(std::string name, std::string value) { return {std::move(name), std::move(value), false}; }
    // filePath is UTF-8; the file is read when the request runs.
    static Part File(std::string name, std::string filePath) { return {std::move(name), std::move(filePath), true}; }

    std::string name;
    std::string value;  // the text, or the file path for a file part
    bool isFile = false;
};

struct Multipart {
    Multipart() = default;
    Multipart(std::initializer_list<Part> list) : parts(list) {}
    std::vector<Part> parts;
};

}  // namespace http

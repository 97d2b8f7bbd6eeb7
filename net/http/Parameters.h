// Query parameters in the order the caller gives them; names may repeat.
#pragma once
#include <initializer_list>
#include <string>
#include <vector>

namespace http {

using Url = std::string;

struct Parameter {
    std::string key;
    std::string value;  // UTF-8
};

class Parameters {
public:
    Parameters() = default;
    Parameters(std::initializer_list<Parameter> list) : items_(list) {}

    void Add(Parameter p) { items_.push_back(std::move(p)); }
    void Append(const Parameters& other) { items_.insert(items_.end(), other.items_.begin(), other.items_.end()); }
    bool Empty() const { return items_.empty(); }
    const std::vector<Parameter>& Items() const { return items_; }

private:
    std::vector<Parameter> items_;
};

}  // namespace http

#include "ui/toolkit/ImageDescription.h"

#include <algorithm>

#include "ui/toolkit/Attributes.h"

namespace DuiLib {

std::optional<ImageDescription> ParseImageDescription(std::wstring_view text) {
    while (!text.empty() && text.front() == L' ') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    ImageDescription image;
    if (text.find(L'=') == std::wstring_view::npos) {
        image.file = text;
        while (!image.file.empty() && image.file.back() == L' ') image.file.pop_back();
        return image;
    }
    for (const auto& [name, value] : ParseAttributeList(text)) {
        if (name == L"res" || name == L"file") image.file = value;
        else if (name == L"source") image.source = ParseRect(value);
        else if (name == L"dest") image.dest = ParseRect(value);
        else if (name == L"corner") image.corner = ParseRect(value);
        else if (name == L"fade") image.fade = static_cast<BYTE>(std::clamp(ParseInt(value, 255), 0, 255));
    }
    if (image.file.empty()) return std::nullopt;
    return image;
}

}  // namespace DuiLib

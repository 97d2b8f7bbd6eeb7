// The toolkit's image description: either a plain file name
// ("img/close.png") or "res='img/close.png' source='0,0,42,30'" with the
// optional keys source (part of the file), dest (place inside the control),
// corner (borders kept unscaled when stretching) and fade (0..255).
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace DuiLib {

struct ImageDescription {
    std::wstring file;
    std::optional<RECT> source;
    std::optional<RECT> dest;
    RECT corner{};
    BYTE fade = 255;
};

// nullopt for an empty text or a description without a file.
std::optional<ImageDescription> ParseImageDescription(std::wstring_view text);

}  // namespace DuiLib

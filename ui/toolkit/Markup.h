// Label markup: "<c #e62c2c>red</c>", "<f 2>font 2</f>", <b>, <u>, <i>, and
// <n> for a line break. A '<' that opens no known tag is plain text, and
// unmatched closing tags are ignored, so any text parses.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace DuiLib {

struct MarkupRun {
    std::wstring text;
    std::optional<DWORD> color;  // 0xAARRGGBB; nullopt: the control's colour
    int font = -1;               // font id; -1: the control's font
    bool bold = false;
    bool underline = false;
    bool italic = false;
    bool lineBreak = false;      // a break before this run's text
};

std::vector<MarkupRun> ParseMarkup(std::wstring_view text);
// Plain text as runs: '\n' breaks lines, nothing else is special.
std::vector<MarkupRun> PlainRuns(std::wstring_view text);

}  // namespace DuiLib

#include "ui/toolkit/Markup.h"

#include <cwctype>

#include "ui/toolkit/Attributes.h"

namespace DuiLib {
namespace {

struct State {
    std::optional<DWORD> color;
    int font = -1;
    bool bold = false;
    bool underline = false;
    bool italic = false;
};

enum class Tag { None, Color, Font, Bold, Underline, Italic };

class Parser {
public:
    std::vector<MarkupRun> runs;

    void Text(wchar_t c) {
        if (c == L'\n') {
            Break();
            return;
        }
        if (c == L'\r') return;
        if (runs.empty() || !Matches(runs.back())) StartRun(false);
        runs.back().text.push_back(c);
    }
    void Break() { StartRun(true); }
    void Open(Tag tag, const State& next) {
        stack_.push_back({tag, state_});
        state_ = next;
    }
    void Close(Tag tag) {
        // Closes the innermost tag of this kind; an unmatched close is ignored.
        for (size_t i = stack_.size(); i-- > 0;) {
            if (stack_[i].first == tag) {
                state_ = stack_[i].second;
                stack_.resize(i);
                return;
            }
        }
    }
    const State& state() const { return state_; }

private:
    bool Matches(const MarkupRun& run) const {
        return run.color == state_.color && run.font == state_.font && run.bold == state_.bold &&
               run.underline == state_.underline && run.italic == state_.italic;
    }
    void StartRun(bool lineBreak) {
        if (!lineBreak && !runs.empty() && runs.back().text.empty()) {
            // Reuse an empty run (a break with no text yet) for the new style.
            MarkupRun& run = runs.back();
            run.color = state_.color;
            run.font = state_.font;
            run.bold = state_.bold;
            run.underline = state_.underline;
            run.italic = state_.italic;
            return;
        }
        MarkupRun run;
        run.color = state_.color;
        run.font = state_.font;
        run.bold = state_.bold;
        run.underline = state_.underline;
        run.italic = state_.italic;
        run.lineBreak = lineBreak;
        runs.push_back(std::move(run));
    }

    State state_;
    std::vector<std::pair<Tag, State>> stack_;
};

std::wstring_view TrimView(std::wstring_view text) {
    while (!text.empty() && iswspace(text.front())) text.remove_prefix(1);
    while (!text.empty() && iswspace(text.back())) text.remove_suffix(1);
    return text;
}

// Applies the tag in `body` (the text between '<' and '>'); false when it is no tag.
bool ApplyTag(Parser& parser, std::wstring_view body) {
    body = TrimView(body);
    if (body.empty()) return false;
    if (body.front() == L'/') {
        std::wstring_view name = TrimView(body.substr(1));
        if (name == L"c") parser.Close(Tag::Color);
        else if (name == L"f") parser.Close(Tag::Font);
        else if (name == L"b") parser.Close(Tag::Bold);
        else if (name == L"u") parser.Close(Tag::Underline);
        else if (name == L"i") parser.Close(Tag::Italic);
        else return false;
        return true;
    }
    wchar_t name = body.front();
    std::wstring_view argument = TrimView(body.substr(1));
    if (body.size() > 1 && !iswspace(body[1])) return false;
    State next = parser.state();
    switch (name) {
        case L'c': {
            std::optional<DWORD> color = ParseColor(argument);
            if (!color) return false;
            next.color = *color;
            parser.Open(Tag::Color, next);
            return true;
        }
        case L'f': {
            int id = ParseInt(argument, -1);
            if (id < 0) return false;
            next.font = id;
            parser.Open(Tag::Font, next);
            return true;
        }
        case L'b':
            if (!argument.empty()) return false;
            next.bold = true;
            parser.Open(Tag::Bold, next);
            return true;
        case L'u':
            if (!argument.empty()) return false;
            next.underline = true;
            parser.Open(Tag::Underline, next);
            return true;
        case L'i':
            if (!argument.empty()) return false;
            next.italic = true;
            parser.Open(Tag::Italic, next);
            return true;
        case L'n':
            if (!argument.empty()) return false;
            parser.Break();
            return true;
        default:
            return false;
    }
}

}  // namespace

std::vector<MarkupRun> ParseMarkup(std::wstring_view text) {
    Parser parser;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'<') {
            size_t end = text.find(L'>', i + 1);
            size_t nextOpen = text.find(L'<', i + 1);
            if (end != std::wstring_view::npos && (nextOpen == std::wstring_view::npos || nextOpen > end) &&
                ApplyTag(parser, text.substr(i + 1, end - i - 1))) {
                i = end;
                continue;
            }
        }
        parser.Text(text[i]);
    }
    std::vector<MarkupRun> runs = std::move(parser.runs);
    // Drop empty style runs that carry no break.
    std::erase_if(runs, [](const MarkupRun& run) { return run.text.empty() && !run.lineBreak; });
    return runs;
}

std::vector<MarkupRun> PlainRuns(std::wstring_view text) {
    std::vector<MarkupRun> runs(1);
    for (wchar_t c : text) {
        if (c == L'\r') continue;
        if (c == L'\n') {
            runs.emplace_back();
            runs.back().lineBreak = true;
            continue;
        }
        runs.back().text.push_back(c);
    }
    if (runs.size() == 1 && runs[0].text.empty()) runs.clear();
    return runs;
}

}  // namespace DuiLib

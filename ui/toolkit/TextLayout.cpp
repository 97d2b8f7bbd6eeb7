#include "ui/toolkit/TextLayout.h"

#include <algorithm>

#include "ui/toolkit/Attributes.h"
#include "ui/toolkit/SystemLook.h"

namespace DuiLib {
namespace {

struct Piece {
    const MarkupRun* run;
    std::wstring text;
    FontHandle* font;
    int width;
    bool space;
};

struct Line {
    std::vector<Piece> pieces;
    int width = 0;  // without trailing spaces
    int ascent = 0;
    int descent = 0;
};

bool IsCjk(wchar_t c) { return c >= 0x2E80 && !(c >= 0xFF61 && c <= 0xFFDC) && !(c >= 0xD800 && c <= 0xDFFF); }

// Characters a line should not start with.
bool IsClosingPunctuation(wchar_t c) {
    static const std::wstring_view marks = L"，。、！？；：）」』】》〉…,.!?;:)]}%";
    return marks.find(c) != std::wstring_view::npos;
}

class Layout {
public:
    Layout(HDC dc, const TextFormat& format, const FontLookup& fonts, int maxWidth)
        : dc_(dc), format_(format), fonts_(fonts), maxWidth_(maxWidth) {}

    std::vector<Line> Run(const std::vector<MarkupRun>& runs) {
        lines_.assign(1, Line{});
        for (const MarkupRun& run : runs) {
            if (run.lineBreak) NewLine(run);
            AddRun(run);
        }
        for (Line& line : lines_) Finish(line);
        return std::move(lines_);
    }

    FontHandle* FontOf(const MarkupRun& run) {
        auto font = fonts_(run.font >= 0 ? run.font : format_.font, run.bold, run.underline, run.italic);
        held_.push_back(font);
        return font.get();
    }

    int Measure(FontHandle* font, std::wstring_view text) {
        if (text.empty()) return 0;
        SelectObjectScope select(dc_, font->font.Get());
        SIZE size{};
        GetTextExtentPoint32W(dc_, text.data(), static_cast<int>(text.size()), &size);
        return size.cx;
    }

private:
    void NewLine(const MarkupRun& run) {
        FontHandle* font = FontOf(run);
        Line& current = lines_.back();
        // An empty line still takes the height of its font.
        if (current.pieces.empty()) Height(current, font);
        lines_.emplace_back();
        Height(lines_.back(), font);
    }

    void Height(Line& line, FontHandle* font) {
        line.ascent = std::max<int>(line.ascent, font->metrics.tmAscent);
        line.descent = std::max<int>(line.descent, font->metrics.tmDescent);
    }

    void AddRun(const MarkupRun& run) {
        if (run.text.empty()) return;
        FontHandle* font = FontOf(run);
        Height(lines_.back(), font);
        // Tokens: a word, a run of spaces, or one CJK character (with any
        // closing punctuation that follows it).
        const std::wstring& text = run.text;
        size_t i = 0;
        while (i < text.size()) {
            size_t start = i;
            bool space = text[i] == L' ';
            if (space) {
                while (i < text.size() && text[i] == L' ') ++i;
            } else if (IsCjk(text[i])) {
                ++i;
                while (i < text.size() && IsClosingPunctuation(text[i])) ++i;
            } else {
                while (i < text.size() && text[i] != L' ' && !IsCjk(text[i])) ++i;
                while (i < text.size() && IsClosingPunctuation(text[i]) && IsCjk(text[i])) ++i;
            }
            AddToken(run, font, text.substr(start, i - start), space);
        }
    }

    void AddToken(const MarkupRun& run, FontHandle* font, std::wstring token, bool space) {
        int width = Measure(font, token);
        Line* line = &lines_.back();
        bool limited = format_.wordWrap && maxWidth_ > 0;
        if (limited && !space && !line->pieces.empty() && Used(*line) + width > maxWidth_) {
            lines_.emplace_back();
            line = &lines_.back();
            Height(*line, font);
        }
        if (space && limited && line->pieces.empty() && lines_.size() > 1) return;  // no leading spaces
        if (limited && !space && width > maxWidth_) {
            // A word longer than the line: break it between characters.
            while (!token.empty()) {
                int room = maxWidth_ - Used(*line);
                int fit = 0;
                SIZE size{};
                {
                    SelectObjectScope select(dc_, font->font.Get());
                    GetTextExtentExPointW(dc_, token.c_str(), static_cast<int>(token.size()), std::max(room, 0),
                                          &fit, nullptr, &size);
                }
                if (fit <= 0) {
                    if (line->pieces.empty()) fit = 1;  // at least one character per line
                    else {
                        lines_.emplace_back();
                        line = &lines_.back();
                        Height(*line, font);
                        continue;
                    }
                }
                std::wstring part = token.substr(0, fit);
                line->pieces.push_back(Piece{&run, part, font, Measure(font, part), false});
                token.erase(0, fit);
                if (!token.empty()) {
                    lines_.emplace_back();
                    line = &lines_.back();
                    Height(*line, font);
                }
            }
            return;
        }
        line->pieces.push_back(Piece{&run, std::move(token), font, width, space});
    }

    static int Used(const Line& line) {
        int used = 0;
        for (const Piece& p : line.pieces) used += p.width;
        return used;
    }

    static void Finish(Line& line) {
        int width = 0, trailing = 0;
        for (const Piece& p : line.pieces) {
            width += p.width;
            trailing = p.space ? trailing + p.width : 0;
        }
        line.width = width - trailing;
    }

    HDC dc_;
    const TextFormat& format_;
    const FontLookup& fonts_;
    int maxWidth_;
    std::vector<Line> lines_;
    std::vector<std::shared_ptr<FontHandle>> held_;

public:
    std::vector<std::shared_ptr<FontHandle>>& Held() { return held_; }
};

int LineHeight(const Line& line) { return line.ascent + line.descent; }

// Cuts the line to `width` and ends it with an ellipsis.
void Ellipsize(Layout& layout, Line& line, int width) {
    if (line.pieces.empty()) return;
    FontHandle* font = line.pieces.back().font;
    const MarkupRun* run = line.pieces.back().run;
    int dots = layout.Measure(font, L"…");
    int room = std::max(0, width - dots);
    int used = 0;
    std::vector<Piece> kept;
    for (Piece& p : line.pieces) {
        if (used + p.width <= room) {
            used += p.width;
            kept.push_back(p);
            continue;
        }
        // Keep the characters of this piece that fit.
        std::wstring part = p.text;
        while (!part.empty() && used + layout.Measure(p.font, part) > room) part.pop_back();
        if (!part.empty()) {
            int w = layout.Measure(p.font, part);
            kept.push_back(Piece{p.run, part, p.font, w, false});
            used += w;
        }
        font = p.font;
        run = p.run;
        break;
    }
    while (!kept.empty() && kept.back().space) {
        used -= kept.back().width;
        kept.pop_back();
    }
    kept.push_back(Piece{run, L"…", font, dots, false});
    line.pieces = std::move(kept);
    line.width = used + dots;
}

}  // namespace

void DrawTextRuns(const Canvas& c, const RECT& box, const RECT& clip, const std::vector<MarkupRun>& runs,
                  const TextFormat& format, const FontLookup& fonts) {
    if (runs.empty() || !c.dc) return;
    int boxWidth = box.right - box.left, boxHeight = box.bottom - box.top;
    if (boxWidth <= 0 || boxHeight <= 0) return;
    Layout layout(c.dc, format, fonts, boxWidth);
    std::vector<Line> lines = layout.Run(runs);

    // Lines that fit the box (at least one); the ellipsis marks what was cut.
    size_t visible = 0;
    int total = 0;
    for (const Line& line : lines) {
        if (visible > 0 && total + LineHeight(line) > boxHeight) break;
        total += LineHeight(line);
        ++visible;
    }
    bool cut = visible < lines.size();
    lines.resize(visible);
    if (format.endEllipsis) {
        for (size_t i = 0; i < lines.size(); ++i) {
            bool last = i + 1 == lines.size();
            if (lines[i].width > boxWidth || (last && cut)) Ellipsize(layout, lines[i], boxWidth);
        }
    }

    int y = box.top;
    if (format.align & DT_VCENTER) y = box.top + (boxHeight - total) / 2;
    else if (format.align & DT_BOTTOM) y = box.bottom - total;
    RECT clipRect = IntersectRects(box, clip);
    // Text may reach a little past a tight box vertically; GDI clips to clipRect.
    SavedDC saved(c.dc);
    SetBkMode(c.dc, TRANSPARENT);
    SetTextAlign(c.dc, TA_LEFT | TA_BASELINE);
    for (const Line& line : lines) {
        int x = box.left;
        if (format.align & DT_CENTER) x = box.left + (boxWidth - line.width) / 2;
        else if (format.align & DT_RIGHT) x = box.right - line.width;
        int baseline = y + line.ascent;
        for (const Piece& p : line.pieces) {
            if (!p.space) {
                // In high contrast the text's own colour, whatever the markup says.
                bool own = p.run->color && !SystemLook::Current().HighContrast();
                DWORD color = own ? *p.run->color : format.color;
                SelectObject(c.dc, p.font->font.Get());
                SetTextColor(c.dc, ToColorRef(color));
                ExtTextOutW(c.dc, x, baseline, ETO_CLIPPED, &clipRect, p.text.c_str(), static_cast<UINT>(p.text.size()),
                            nullptr);
            }
            x += p.width;
        }
        y += LineHeight(line);
    }
}

SIZE MeasureTextRuns(HDC dc, const std::vector<MarkupRun>& runs, const TextFormat& format, const FontLookup& fonts,
                     int maxWidth) {
    if (runs.empty()) return SIZE{};
    Layout layout(dc, format, fonts, maxWidth);
    std::vector<Line> lines = layout.Run(runs);
    SIZE size{};
    for (const Line& line : lines) {
        size.cx = std::max<LONG>(size.cx, line.width);
        size.cy += LineHeight(line);
    }
    return size;
}

}  // namespace DuiLib

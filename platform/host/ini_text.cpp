#include "platform/host/ini_text.h"

#include <cstddef>
#include <vector>

namespace host::ini {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    a = Trim(a);
    b = Trim(b);
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// One line of the file: its content and the line ending that follows it ("" at the very end).
struct Line {
    std::string_view content;
    std::string_view ending;
};

std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t newline = text.find('\n', start);
        if (newline == std::string_view::npos) {
            lines.push_back({text.substr(start), {}});
            break;
        }
        std::size_t contentEnd = newline;
        if (contentEnd > start && text[contentEnd - 1] == '\r') --contentEnd;
        lines.push_back({text.substr(start, contentEnd - start),
                         text.substr(contentEnd, newline + 1 - contentEnd)});
        start = newline + 1;
    }
    return lines;
}

// The section name of a header line "[name]" (up to its last "]"), or nullopt.
std::optional<std::string_view> SectionName(std::string_view content) {
    std::string_view trimmed = Trim(content);
    if (trimmed.empty() || trimmed.front() != '[') return std::nullopt;
    std::size_t close = trimmed.rfind(']');
    if (close == std::string_view::npos || close == 0) return std::nullopt;
    return trimmed.substr(1, close - 1);
}

struct KeyLine {
    std::string_view name;
    std::string_view value;
};

std::optional<KeyLine> ParseKeyLine(std::string_view content) {
    std::string_view trimmed = Trim(content);
    if (trimmed.empty() || trimmed.front() == ';') return std::nullopt;
    std::size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return KeyLine{Trim(trimmed.substr(0, equals)), Trim(trimmed.substr(equals + 1))};
}

std::string_view DropEnclosingQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// Where a section lies: the index of its header line and one past its last line.
struct SectionSpan {
    std::size_t header;
    std::size_t end;
};

std::optional<SectionSpan> FindSection(const std::vector<Line>& lines, std::string_view section) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::optional<std::string_view> name = SectionName(lines[i].content);
        if (!name || !SameName(*name, section)) continue;
        std::size_t end = i + 1;
        while (end < lines.size() && !SectionName(lines[end].content)) ++end;
        return SectionSpan{i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> FindKey(const std::vector<Line>& lines, const SectionSpan& span,
                                   std::string_view key) {
    for (std::size_t i = span.header + 1; i < span.end; ++i) {
        std::optional<KeyLine> parsed = ParseKeyLine(lines[i].content);
        if (parsed && SameName(parsed->name, key)) return i;
    }
    return std::nullopt;
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

std::optional<std::string> Lookup(std::string_view text, std::string_view section,
                                  std::string_view key) {
    std::vector<Line> lines = SplitLines(text);
    std::optional<SectionSpan> span = FindSection(lines, section);
    if (!span) return std::nullopt;
    std::optional<std::size_t> index = FindKey(lines, *span, key);
    if (!index) return std::nullopt;
    std::string_view value = DropEnclosingQuotes(ParseKeyLine(lines[*index].content)->value);
    return std::string(value.substr(0, kMaxValueLength));
}

std::optional<std::string> WithValue(std::string_view text, std::string_view section,
                                     std::string_view key, std::string_view value) {
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value) ||
        section.find(']') != std::string_view::npos || key.find('=') != std::string_view::npos ||
        Trim(key).empty() || Trim(key).front() == ';' || Trim(key).front() == '[')
        return std::nullopt;

    std::vector<Line> lines = SplitLines(text);
    std::string_view newline = "\r\n";
    for (const Line& line : lines) {
        if (!line.ending.empty()) {
            newline = line.ending;
            break;
        }
    }

    // The text is rebuilt line by line; `insertAfter` gets the new key line behind it, `replace`
    // is swapped for it.
    std::optional<std::size_t> replace;
    std::optional<std::size_t> insertAfter;
    std::string keyName(Trim(key));
    if (std::optional<SectionSpan> span = FindSection(lines, section)) {
        if (std::optional<std::size_t> index = FindKey(lines, *span, key)) {
            replace = index;
            keyName = std::string(ParseKeyLine(lines[*index].content)->name);
        } else {
            std::size_t last = span->header;
            for (std::size_t i = span->header + 1; i < span->end; ++i) {
                if (!Trim(lines[i].content).empty()) last = i;
            }
            insertAfter = last;
        }
    }
    const std::string keyLine = keyName + "=" + std::string(value);

    std::string result;
    result.reserve(text.size() + keyLine.size() + section.size() + 8);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (replace && *replace == i) {
            result += keyLine;
            result += lines[i].ending;
            continue;
        }
        result += lines[i].content;
        result += lines[i].ending;
        if (insertAfter && *insertAfter == i) {
            if (lines[i].ending.empty()) result += newline;
            result += keyLine;
            result += newline;
        }
    }
    if (!replace && !insertAfter) {
        if (!result.empty() && result.back() != '\n') result += newline;
        result += "[" + std::string(Trim(section)) + "]";
        result += newline;
        result += keyLine;
        result += newline;
    }
    return result;
}

std::vector<std::string> Keys(std::string_view text, std::string_view section) {
    std::vector<std::string> keys;
    std::vector<Line> lines = SplitLines(text);
    std::optional<SectionSpan> span = FindSection(lines, section);
    if (!span) return keys;
    for (std::size_t i = span->header + 1; i < span->end; ++i) {
        std::optional<KeyLine> parsed = ParseKeyLine(lines[i].content);
        if (!parsed || parsed->name.empty()) continue;
        bool seen = false;
        for (const std::string& key : keys) seen = seen || SameName(key, parsed->name);
        if (!seen) keys.emplace_back(parsed->name);
    }
    return keys;
}

std::string WithoutKey(std::string_view text, std::string_view section, std::string_view key) {
    std::vector<Line> lines = SplitLines(text);
    std::optional<SectionSpan> span = FindSection(lines, section);
    std::optional<std::size_t> index;
    if (span) index = FindKey(lines, *span, key);
    if (!index) return std::string(text);
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i == *index) continue;
        result += lines[i].content;
        result += lines[i].ending;
    }
    return result;
}

}  // namespace host::ini

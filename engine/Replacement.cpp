// A replacement's text, and the groups a pattern's match puts into it.
#include "Replacement.h"

namespace pellumar {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsNameCharacter(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

// A group's number, as written after a dollar sign: -1 when it is too large to be one.
int GroupNumber(std::string_view digits) {
    int number = 0;
    for (const char c : digits) {
        number = number * 10 + (c - '0');
        if (number > 65535) {
            return -1;
        }
    }
    return number;
}

// The reference at the start of `text`, just after a dollar sign: how many characters it takes
// and the group it names, or 0 characters when it is none and the dollar sign stands for itself.
struct Reference {
    std::size_t length = 0;
    std::string_view name;  // the digits or the name
    bool braced = false;
};

Reference ReferenceAt(std::string_view text) {
    std::size_t n = 0;
    while (n < text.size() && IsDigit(text[n])) {
        ++n;
    }
    if (n > 0) {
        return {n, text.substr(0, n), false};
    }
    if (text.empty() || text[0] != '{') {
        return {};
    }
    n = 1;
    while (n < text.size() && IsNameCharacter(text[n])) {
        ++n;
    }
    const std::string_view inside = text.substr(1, n - 1);
    const bool number = !inside.empty() && IsDigit(inside[0]);
    bool valid = !inside.empty() && n < text.size() && text[n] == '}';
    for (const char c : inside) {
        valid = valid && (!number || IsDigit(c));
    }
    return valid ? Reference{n + 1, inside, true} : Reference{};
}

}  // namespace

Replacement Replacement::ForPattern(std::string_view text, std::size_t groups,
                                    const std::function<int(std::string_view)>& named,
                                    std::string& unknown) {
    Replacement replacement;
    replacement.m_text = std::string(text);
    Piece piece;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '$') {
            piece.text += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '$') {
            piece.text += '$';
            ++i;
            continue;
        }
        const Reference ref = ReferenceAt(text.substr(i + 1));
        if (ref.length == 0) {
            piece.text += '$';
            continue;
        }
        const int group = IsDigit(ref.name[0]) ? GroupNumber(ref.name) : named(ref.name);
        if (group < 0 || static_cast<std::size_t>(group) > groups) {
            unknown = std::string(text.substr(i, ref.length + 1));
            return Replacement();
        }
        piece.group = group;
        replacement.m_pieces.push_back(std::move(piece));
        piece = Piece();
        i += ref.length;
    }
    if (replacement.m_pieces.empty()) {
        replacement.m_text = std::move(piece.text);  // no group: the same text for every match
    } else {
        replacement.m_pieces.push_back(std::move(piece));
    }
    return replacement;
}

std::string_view Replacement::For(const unsigned char* bytes, const MatchSpan& match,
                                  std::string& room) const {
    if (Fixed()) {
        return m_text;
    }
    room.clear();
    for (const Piece& piece : m_pieces) {
        room += piece.text;
        if (piece.group < 0) {
            continue;
        }
        const auto g = static_cast<std::size_t>(piece.group);
        if (g == 0) {
            room.append(reinterpret_cast<const char*>(bytes) + match.start,
                        static_cast<std::size_t>(match.end - match.start));
        } else if (g < match.groupCount && match.groups[2 * g] != MatchSpan::kNoGroup) {
            const std::size_t from = match.groups[2 * g];
            room.append(reinterpret_cast<const char*>(bytes) + from,
                        match.groups[2 * g + 1] - from);
        }
    }
    return room;
}

}  // namespace pellumar

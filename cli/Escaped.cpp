#include "Escaped.h"

namespace pellumar::cli {

std::string Escaped(std::string_view text) {
    static constexpr char kLetters[] = "abtnvfr";  // \a (7) to \r (13)
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\\') {
            shown += "\\\\";
        } else if (byte >= 7 && byte <= 13) {
            shown += '\\';
            shown += kLetters[byte - 7];
        } else if (byte < 0x20 || byte == 0x7f) {
            shown += '\\';
            shown += static_cast<char>('0' + (byte >> 6));
            shown += static_cast<char>('0' + ((byte >> 3) & 7));
            shown += static_cast<char>('0' + (byte & 7));
        } else {
            shown += c;
        }
    }
    return shown;
}

}  // namespace pellumar::cli

#include "PathText.h"

#include <QString>
#include <QStringDecoder>
#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace pellumar {
namespace {

std::vector<std::string> Collapse(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t begin = 0;
    while (begin <= path.size()) {
        std::size_t end = std::min(path.find('/', begin), path.size());
        std::string part = path.substr(begin, end - begin);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        begin = end + 1;
    }
    return parts;
}

// Cuts at a byte limit without leaving half of a UTF-8 sequence at the end.
std::string CutText(const std::string& text, std::size_t limit) {
    if (text.size() <= limit)
        return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end == 0 ? limit : end);
}

std::optional<QString> DecodeUtf8(const std::string& text) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = decoder(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    if (decoder.hasError())
        return std::nullopt;
    return decoded;
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::optional<std::string> FullPathName(const std::string& text, const std::string& currentFolder) {
    if (text.empty())
        return std::nullopt;
    const bool relative = text.front() != '/';
    if (relative && currentFolder.empty())
        return std::nullopt;
    std::string result;
    for (const std::string& part : Collapse(relative ? currentFolder + "/" + text : text))
        result += "/" + part;
    if (result.empty())
        return std::string(1, '/');
    if (text.back() == '/')
        result += '/';
    if (result.size() > kMaxPathText)
        return std::nullopt;
    return result;
}

std::string PathComparand(const std::string& text, const std::string& currentFolder) {
    std::optional<std::string> full = FullPathName(text, currentFolder);
    return full ? *full : CutText(text, kMaxPathText);
}

std::string CurrentFolder() {
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    return error ? std::string() : current.string();
}

bool IsSamePath(const std::string& first, const std::string& second) {
    std::optional<QString> a = DecodeUtf8(first);
    std::optional<QString> b = DecodeUtf8(second);
    if (a && b)
        return a->compare(*b, Qt::CaseInsensitive) == 0;
    return first.size() == second.size() &&
           std::equal(first.begin(), first.end(), second.begin(),
                      [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

bool IsSameFolder(const std::string& first, const std::string& second) {
#ifdef _WIN32
    return IsSamePath(first, second);
#else
    return first == second;
#endif
}

}  // namespace pellumar

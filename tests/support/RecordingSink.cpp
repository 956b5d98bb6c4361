#include "RecordingSink.h"

#include <algorithm>

#include "NativeTypes.h"
#include "TextShape.h"

namespace pellumar::test {

void RecordingSink::Reply(std::initializer_list<ErrorReply> replies) {
    const std::lock_guard lock(m_mutex);
    m_replies.assign(replies);
}

void RecordingSink::Record(const std::string& line) {
    std::string text = MaskTemporaryNames(line);
    std::string root = m_strRoot + kSeparator;
    if (kSeparator != '/' && !m_strRoot.empty()) {  // relative paths are written with '/'
        std::replace(text.begin(), text.end(), kSeparator, '/');
        std::replace(root.begin(), root.end(), kSeparator, '/');
    }
    for (size_t at; !m_strRoot.empty() && (at = text.find(root)) != std::string::npos;) {
        text.erase(at, root.size());
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lines.push_back(text);
    }
    if (m_hook) {
        m_hook(text);
    }
}

void RecordingSink::OnSearchFound(const std::string& path, const FileInformation& info) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lastInfo = info;
    }
    Record("found " + path);
}

void RecordingSink::OnSearchSkipped(const std::string& path, SkipKind kind, int error) {
    Record(std::string(kind == SkipKind::Unread ? "skipped " : "not changed ") + path + ": " +
           FileSystem::ErrorText(error));
}

ErrorReply RecordingSink::Ask(const char* kind, const char* operation,
                              const CFileException& error) {
    ErrorReply reply = ErrorReply::SkipFile;
    {
        const std::lock_guard lock(m_mutex);
        if (!m_replies.empty()) {
            reply = m_replies.front();
            m_replies.pop_front();
        }
    }
    Record(std::string(kind) + " " + operation + " (" + error.m_strFileName + ") cause " +
           std::to_string(static_cast<int>(error.m_cause)) + " os " +
           std::to_string(error.m_lOsError) + " -> " + std::to_string(static_cast<int>(reply)));
    return reply;
}

void RecordingSink::OnFileChanged(const std::string& path, std::unique_ptr<FileChanges> changes) {
    const std::string what =
        changes->binary ? "binary" : std::to_string(changes->hunks.size()) + " hunks";
    {
        const std::lock_guard lock(m_mutex);
        m_changes[path] = std::move(*changes);
    }
    Record("changed " + path + ": " + what);
}

FileChanges RecordingSink::ChangesOf(const std::string& path) const {
    const std::lock_guard lock(m_mutex);
    const auto it = m_changes.find(path);
    return it == m_changes.end() ? FileChanges{} : it->second;
}

Lines RecordingSink::Select(bool found) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    Lines selected;
    for (const std::string& line : m_lines) {
        if ((line.rfind("found ", 0) == 0) == found) {
            selected.push_back(found ? line.substr(6) : line);
        }
    }
    return selected;
}

FileInformation RecordingSink::LastInfo() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lastInfo;
}

}  // namespace pellumar::test

#include "RecordingSink.h"

#include <regex>

namespace pellumar::test {

void RecordingSink::Reply(std::initializer_list<int> replies, int fallback) {
    std::lock_guard<std::mutex> lock(m_mutexLines);
    m_replies.assign(replies);
    m_nFallback = fallback;
}

std::string RecordingSink::Relative(const std::string& path) const {
    std::string text = path;
    if (!m_strRoot.empty() && text.rfind(m_strRoot + "/", 0) == 0) {
        text = text.substr(m_strRoot.size() + 1);
    }
    static const std::regex temporary("pel[0-9A-F]{4}\\.tmp");
    return std::regex_replace(text, temporary, "pel*.tmp");
}

void RecordingSink::Record(const std::string& line) {
    {
        std::lock_guard<std::mutex> lock(m_mutexLines);
        m_lines.push_back(line);
    }
    if (m_hook) {
        m_hook(line);
    }
}

int RecordingSink::NextReply() {
    std::lock_guard<std::mutex> lock(m_mutexLines);
    if (m_replies.empty()) {
        return m_nFallback;
    }
    const int reply = m_replies.front();
    m_replies.pop_front();
    return reply;
}

void RecordingSink::OnSearchFound(std::string path, FileInformation info) {
    {
        std::lock_guard<std::mutex> lock(m_mutexLines);
        m_foundInfo.push_back(info);
    }
    Record("found " + Relative(path));
}

int RecordingSink::OnSearchError(const char* operation, const CFileException& error) {
    const int reply = NextReply();
    Record(std::string("error ") + operation + " (" + Relative(error.m_strFileName) + ") cause " +
           std::to_string(error.m_cause) + " os " + std::to_string(error.m_lOsError) + " -> " +
           std::to_string(reply));
    return reply;
}

int RecordingSink::OnSearchErrorNoRetry(const char* operation, const CFileException& error) {
    const int reply = NextReply();
    Record(std::string("noretry ") + operation + " (" + Relative(error.m_strFileName) + ") cause " +
           std::to_string(error.m_cause) + " os " + std::to_string(error.m_lOsError) + " -> " +
           std::to_string(reply));
    return reply;
}

void RecordingSink::OnSearchFinished(int result) {
    Record("finished " + std::to_string(result));
}

std::vector<std::string> RecordingSink::Lines() const {
    std::lock_guard<std::mutex> lock(m_mutexLines);
    return m_lines;
}

std::vector<std::string> RecordingSink::Found() const {
    std::vector<std::string> found;
    for (const std::string& line : Lines()) {
        if (line.rfind("found ", 0) == 0) {
            found.push_back(line.substr(6));
        }
    }
    return found;
}

std::vector<FileInformation> RecordingSink::FoundInfo() const {
    std::lock_guard<std::mutex> lock(m_mutexLines);
    return m_foundInfo;
}

std::vector<std::string> RecordingSink::Others() const {
    std::vector<std::string> others;
    for (const std::string& line : Lines()) {
        if (line.rfind("found ", 0) != 0) {
            others.push_back(line);
        }
    }
    return others;
}

}  // namespace pellumar::test

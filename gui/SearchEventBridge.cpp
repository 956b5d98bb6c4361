#include "SearchEventBridge.h"

#include <QCoreApplication>

#include "StopState.h"

namespace pellumar {

SearchErrorEvent::SearchErrorEvent(Type type, const char* operation, const CFileException& error)
    : QEvent(type), m_operation(operation), m_error(error) {}

SearchErrorEvent::~SearchErrorEvent() {
    if (!m_bAnswered)
        m_reply.set_value(STOP_SEARCH);
}

void SearchErrorEvent::Answer(int reply) {
    if (m_bAnswered)
        return;
    m_bAnswered = true;
    m_reply.set_value(reply);
}

void SearchEventBridge::OnSearchFound(std::string path, FileInformation info) {
    std::lock_guard lock(m_mutex);
    if (m_pReceiver == nullptr)
        return;
    const bool wake = m_found.empty();
    m_found.push_back({std::move(path), info});
    if (wake)
        QCoreApplication::postEvent(m_pReceiver, new QEvent(QEvent::Type(kEventSearchFound)));
}

int SearchEventBridge::Ask(QEvent::Type type, const char* operation, const CFileException& error) {
    std::future<int> reply;
    {
        std::lock_guard lock(m_mutex);
        if (m_pReceiver == nullptr)
            return STOP_SEARCH;
        auto* event = new SearchErrorEvent(type, operation, error);
        reply = event->Reply();
        QCoreApplication::postEvent(m_pReceiver, event);
    }
    return reply.get();
}

int SearchEventBridge::OnSearchError(const char* operation, const CFileException& error) {
    return Ask(QEvent::Type(kEventSearchError), operation, error);
}

int SearchEventBridge::OnSearchErrorNoRetry(const char* operation, const CFileException& error) {
    return Ask(QEvent::Type(kEventSearchErrorNoRetry), operation, error);
}

void SearchEventBridge::OnSearchFinished(int) {
    std::lock_guard lock(m_mutex);
    if (m_pReceiver != nullptr)
        QCoreApplication::postEvent(m_pReceiver, new QEvent(QEvent::Type(kEventSearchFinished)));
}

std::deque<FoundFile> SearchEventBridge::TakeFound(std::size_t most) {
    std::lock_guard lock(m_mutex);
    std::deque<FoundFile> taken;
    while (!m_found.empty() && taken.size() < most) {
        taken.push_back(std::move(m_found.front()));
        m_found.pop_front();
    }
    return taken;
}

void SearchEventBridge::Detach() {
    std::lock_guard lock(m_mutex);
    m_pReceiver = nullptr;
    m_found.clear();
}

}  // namespace pellumar

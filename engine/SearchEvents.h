#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "ISearchNotify.h"
#include "PathStore.h"

namespace pellumar {

// One notification on its way from the worker to the thread that handles it.
struct SearchEvent {
    enum class Kind { Found, Skipped, Error, ErrorNoRetry, UndoKept, Finished };
    Kind kind = Kind::Finished;
    std::string_view path;             // Found, Skipped: held by the events that hold this one
    FileInformation info;              // Found
    SkipKind skip = SkipKind::Unread;  // Skipped
    int error = 0;                     // Skipped: why
    const char* operation = nullptr;   // Error kinds: valid until answered
    const CFileException* record = nullptr;      // Error kinds: valid until answered
    int result = 0;                              // Finished
    uint64_t undoRun = 0, copiedBytes = 0;       // UndoKept
    std::optional<uint64_t> matches;             // Found, where matches were counted
    std::shared_ptr<const FileChanges> changes;  // Found, where changes were asked for

    bool IsQuestion() const { return kind == Kind::Error || kind == Kind::ErrorNoRetry; }
};

// Notifications in order. Emptied, it keeps its events and its paths' storage, so that filling
// it again allocates nothing: a path made on one thread and freed on another would cost both
// threads the allocator's lock at every found file. A deque, as it grows without moving what it
// holds, however far the thread that takes the events falls behind.
class SearchEvents {
  public:
    using const_iterator = std::deque<SearchEvent>::const_iterator;
    const_iterator begin() const { return m_slots.begin(); }
    const_iterator end() const { return m_slots.begin() + static_cast<std::ptrdiff_t>(m_nSize); }
    std::size_t size() const { return m_nSize; }
    bool empty() const { return m_nSize == 0; }
    const SearchEvent& front() const { return m_slots.front(); }
    // Whether it holds storage worth keeping.
    bool HasSlots() const { return !m_slots.empty(); }

    // A new last event, as a default one but for its kind and a copy of `path`.
    SearchEvent& Add(SearchEvent::Kind kind, std::string_view path = {}) {
        if (m_nSize == m_slots.size()) {
            m_slots.emplace_back();
        } else {
            m_slots[m_nSize] = SearchEvent{};
        }
        SearchEvent& event = m_slots[m_nSize++];
        event.kind = kind;
        event.path = m_paths.Add(path);
        return event;
    }
    // Moves the first `count` events to the end of `into`, their paths copied there; the slots
    // they leave go to the back, to be filled again.
    void MoveFrontTo(SearchEvents& into, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            SearchEvent& moved = into.Add(SearchEvent::Kind::Finished, m_slots.front().path);
            const std::string_view path = moved.path;
            moved = std::move(m_slots.front());
            moved.path = path;
            m_slots.push_back(std::move(m_slots.front()));
            m_slots.pop_front();
            --m_nSize;
        }
        if (m_nSize == 0) {
            m_paths.Clear();  // no event left refers to them
        }
    }
    void Clear() {
        m_nSize = 0;
        m_paths.Clear();
    }

  private:
    std::deque<SearchEvent> m_slots;
    std::size_t m_nSize = 0;  // the events in use, at the front of the slots
    PathStore m_paths;        // the paths of the events in use
};

}  // namespace pellumar

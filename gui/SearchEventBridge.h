#pragma once

#include <QEvent>
#include <deque>
#include <future>
#include <mutex>

#include "ISearchNotify.h"

class QObject;

namespace pellumar {

// Event types of the four notifications, as the window receives them.
enum SearchEventType : int {
    kEventSearchFinished = 1524,
    kEventSearchFound = 1525,
    kEventSearchError = 1526,
    kEventSearchErrorNoRetry = 1527,
};

struct FoundFile {
    std::string path;
    FileInformation info;
};

// An error notification waiting for its answer; the worker blocks until it has one. An event
// dropped unanswered answers "stop the search", so the worker is never left waiting.
class SearchErrorEvent final : public QEvent {
  public:
    SearchErrorEvent(Type type, const char* operation, const CFileException& error);
    ~SearchErrorEvent() override;
    const char* Operation() const { return m_operation; }
    const CFileException& Error() const { return m_error; }
    void Answer(int reply);
    std::future<int> Reply() { return m_reply.get_future(); }

  private:
    const char* m_operation;
    const CFileException& m_error;
    std::promise<int> m_reply;
    bool m_bAnswered = false;
};

// Binds the engine's notifications to events posted to a window, in the order they come.
// Found files wait in a queue that the window takes in batches, so that a flood of them
// costs one event; every other notification is an event of its own, taken after the files
// reported before it.
class SearchEventBridge final : public ISearchNotify {
  public:
    explicit SearchEventBridge(QObject* receiver) : m_pReceiver(receiver) {}

    void OnSearchFound(std::string path, FileInformation info) override;
    int OnSearchError(const char* operation, const CFileException& error) override;
    int OnSearchErrorNoRetry(const char* operation, const CFileException& error) override;
    void OnSearchFinished(int result) override;

    // Window's thread: takes up to `most` of the files reported so far, in order.
    std::deque<FoundFile> TakeFound(std::size_t most);
    // Window's thread: nothing is posted any more; errors are answered "stop the search".
    void Detach();

  private:
    int Ask(QEvent::Type type, const char* operation, const CFileException& error);

    std::mutex m_mutex;
    QObject* m_pReceiver;           // guarded by m_mutex; the window clears it in Detach
    std::deque<FoundFile> m_found;  // guarded by m_mutex; the worker adds, the window takes
};

}  // namespace pellumar

#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace pellumar {

// The signals that ask a program to end (termination, and hang-up at the end of the desktop
// session) are handed to the window's thread, where the program can end cleanly: a search is
// stopped, no temporary file stays, and the settings are saved. The handler only writes the
// signal's number into a pipe that the window's event loop watches.
class EndSignals final : public QObject {
  public:
    explicit EndSignals(std::function<void(int)> onSignal, QObject* parent = nullptr);
    ~EndSignals() override;  // the signals' default actions come back

    // The first signal that came, or 0.
    int Received() const { return m_nReceived; }

  private:
    void Read();

    std::function<void(int)> m_onSignal;
    QSocketNotifier* m_pNotifier = nullptr;
    int m_nReceived = 0;
};

}  // namespace pellumar

#pragma once

#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <vector>

namespace pellumar {

// Plays the busy animation, centred in the widget; at rest it shows one frame.
class BusyAnimation : public QWidget {
    Q_OBJECT

  public:
    explicit BusyAnimation(QWidget* parent = nullptr);
    ~BusyAnimation() override;

    // Loads the frames; until then nothing shows.
    void Open();
    // Plays from the first frame to the last, over and over, until Stop.
    void Play();
    void Stop();
    // Shows the first frame, at rest.
    void ShowFirstFrame();

    bool IsPlaying() const { return m_timer.isActive(); }
    int CurrentFrame() const { return m_nFrame; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void Advance();

    std::vector<QPixmap> m_frames;
    QTimer m_timer;
    int m_nFrame = 0;
};

}  // namespace pellumar

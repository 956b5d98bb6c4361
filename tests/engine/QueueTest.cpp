// The queue between the worker and the thread that shows its notifications: every one arrives
// whole and in order, however the taking thread takes them and while the worker goes on filling
// the storage it gave back.
#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "NotificationQueue.h"

namespace pellumar::test {
namespace {

// Paths of every byte, from empty to longer than any block of the queue's storage; the number
// of each is in its bytes, so that a path of another notification, or half of one, is told.
std::vector<std::string> MakePaths(std::size_t count) {
    std::mt19937 random(1107);
    const std::size_t special[] = {0, 1, 15, 16, 255, 65535, 65536, 65537, 200000};
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t length = i % 97 == 0 ? special[(i / 97) % 9] : random() % 300;
        std::string path(length, '\0');
        for (std::size_t k = 0; k < length; ++k) {
            path[k] = static_cast<char>((i * 31 + k) % 256);
        }
        paths.push_back(std::move(path));
    }
    return paths;
}

// Takes every notification with a wait, or a few at a time, in turns the seed decides, now and
// then slow to read them, giving the storage back most times; returns what came, as the worker's
// calls would be written.
std::vector<std::string> TakeAll(NotificationQueue& queue, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::string> came;
    for (bool finished = false; !finished;) {
        const unsigned how = random() % 3;
        SearchEvents events = how == 0   ? queue.Wait(std::chrono::milliseconds(20))
                              : how == 1 ? queue.Take(1 + random() % 700)
                                         : queue.Take(SIZE_MAX);
        if (random() % 4 == 0) {  // the worker goes on meanwhile, in the storage left to it
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 1000));
        }
        for (const SearchEvent& event : events) {
            if (event.kind == SearchEvent::Kind::Finished) {
                finished = true;
                came.push_back("end " + std::to_string(event.result));
            } else if (event.kind == SearchEvent::Kind::Found) {
                came.push_back("found " + std::to_string(event.info.FileSize()) + " " +
                               std::string(event.path));
            } else {
                came.push_back("skipped " + std::to_string(event.error) + " " +
                               std::string(event.path));
            }
        }
        if (random() % 4 != 0) {
            queue.Recycle(std::move(events));
        }
    }
    return came;
}

TEST(QueueTest, EveryNotificationArrivesWholeAndInOrderHoweverItIsTaken) {
    const std::vector<std::string> paths = MakePaths(12000);
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        expected.push_back((i % 3 ? "found " : "skipped ") + std::to_string(i) + " " + paths[i]);
    }
    expected.push_back("end 7");
    for (unsigned seed = 1; seed <= 6; ++seed) {
        NotificationQueue queue;
        std::thread worker([&] {
            for (std::size_t i = 0; i < paths.size(); ++i) {
                if (i % 3 == 0) {
                    queue.OnSearchSkipped(paths[i], SkipKind::Unread, static_cast<int>(i));
                    continue;
                }
                FileInformation info;
                info.nFileSizeLow = static_cast<uint32_t>(i);
                queue.OnSearchFound(paths[i], info);
            }
            queue.OnSearchFinished(7);
        });
        const std::vector<std::string> came = TakeAll(queue, seed);
        worker.join();
        ASSERT_EQ(came.size(), expected.size()) << "seed " << seed;
        for (std::size_t i = 0; i < came.size(); ++i) {
            ASSERT_EQ(came[i], expected[i]) << "seed " << seed << ", notification " << i;
        }
    }
}

}  // namespace
}  // namespace pellumar::test

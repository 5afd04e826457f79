// Messages posted from a worker thread reach the user-interface thread whole.
// Run in the thread-checking build, this also proves that the hand-over is
// visible to the checker: the receiving side below learns of the posts only
// through a relaxed counter and Qt's own (unseen) queue, so a read of a
// message before AsPanelMessage's hand-over would be reported as a race.
#include "support/PanelTestSupport.h"

#include "dialogkit/PanelMessage.h"

#include <QCoreApplication>
#include <atomic>
#include <thread>
#include <vector>

namespace panel_test {
namespace {

struct Received {
    int message;
    std::intptr_t wParam;
    std::intptr_t lParam;
};

class Receiver : public QObject
{
public:
    std::vector<Received> m_messages;
    int m_others = 0;

protected:
    bool event(QEvent* event) override
    {
        if (const PanelMessage* message = AsPanelMessage(event)) {
            m_messages.push_back({message->message(), message->wParam(), message->lParam()});
            return true;
        }
        ++m_others;
        return QObject::event(event);
    }
};

class HandOverTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { EnsureApplication(); }
};

TEST_F(HandOverTest, PostsFromAWorkerArriveInOrderWithTheirValues)
{
    constexpr int kPosts = 300;
    const int kinds[] = {WM_DEVICE_READING, WM_SCHEDULED_TASK};
    Receiver receiver;
    std::atomic<int> posted{0};
    std::thread worker([&] {
        for (int i = 0; i < kPosts; ++i) {
            // Values that need all 32 bits, negative ones included.
            PostPanelMessage(&receiver, kinds[i % 2], 1000 + i, static_cast<std::int32_t>(0x80000000u + i * 7919u));
            posted.store(i + 1, std::memory_order_relaxed);
        }
    });
    // Deliver while the worker is still posting: nothing the checker can see
    // orders the two threads here but the hand-over itself.
    int others = 0;
    while (posted.load(std::memory_order_relaxed) < kPosts) {
        // Other events among the messages are passed on, not taken for them.
        QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
        ++others;
        QCoreApplication::sendPostedEvents(&receiver);
        std::this_thread::yield();
    }
    QCoreApplication::sendPostedEvents(&receiver);
    worker.join();

    ASSERT_EQ(receiver.m_messages.size(), static_cast<std::size_t>(kPosts));
    for (int i = 0; i < kPosts; ++i) {
        const Received& r = receiver.m_messages[static_cast<std::size_t>(i)];
        EXPECT_EQ(r.message, kinds[i % 2]) << i;
        EXPECT_EQ(r.wParam, 1000 + i) << i;
        EXPECT_EQ(r.lParam, static_cast<std::int32_t>(0x80000000u + i * 7919u)) << i;
    }
    EXPECT_EQ(receiver.m_others, others);
}

TEST_F(HandOverTest, OnlyThePanelMessagesAreRecognised)
{
    const QEvent paint(QEvent::Paint);
    const QEvent user(QEvent::User);
    const QEvent neighbour(static_cast<QEvent::Type>(WM_DEVICE_READING + 1));
    EXPECT_EQ(AsPanelMessage(&paint), nullptr);
    EXPECT_EQ(AsPanelMessage(&user), nullptr);
    EXPECT_EQ(AsPanelMessage(&neighbour), nullptr);
    const PanelMessage reading(WM_DEVICE_READING, 1040, 1000);
    ASSERT_EQ(AsPanelMessage(&reading), &reading);
    EXPECT_EQ(AsPanelMessage(&reading)->lParam(), 1000);
}

}  // namespace
}  // namespace panel_test

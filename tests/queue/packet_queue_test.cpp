#include "engine/packet_queue.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <vector>

#include "platform/sync.h"

extern "C" {
#include <libavcodec/packet.h>
}

namespace {

constexpr int kCapacity = CPacketQueue::PQ_CAPACITY;

// A container packet carrying a sequence number in its pts.
AVPacket* NumberedPacket(int64_t number) {
    AVPacket* packet = av_packet_alloc();
    packet->pts = number;
    return packet;
}

// A packet with a counted payload, as both inputs hand them out.
AVPacket* PacketWithPayload(int64_t number) {
    AVPacket* packet = NumberedPacket(number);
    if (av_new_packet(packet, 64) < 0) av_packet_free(&packet);
    return packet;
}

void PutNumbered(CPacketQueue& queue, int64_t first, int count) {
    for (int i = 0; i < count; ++i) ASSERT_EQ(queue.Put(NumberedPacket(first + i)), 1) << "packet " << first + i;
}

// Takes count packets and checks they carry first, first + 1, ...
void ExpectNumbered(CPacketQueue& queue, int64_t first, int count) {
    for (int i = 0; i < count; ++i) {
        AVPacket* packet = nullptr;
        ASSERT_EQ(queue.Get(&packet, 0), 1) << "packet " << first + i;
        EXPECT_EQ(packet->pts, first + i);
        av_packet_free(&packet);
    }
}

}  // namespace

TEST(PacketQueue, EmptyQueueIsNotFullAndGetWithoutWaitFails) {
    CPacketQueue queue;
    EXPECT_EQ(queue.IsFull(), 0);
    AVPacket* packet = reinterpret_cast<AVPacket*>(0x1);
    EXPECT_EQ(queue.Get(&packet, 0), 0);
    EXPECT_EQ(packet, nullptr);
}

TEST(PacketQueue, GetTimesOutOnAnEmptyQueue) {
    CPacketQueue queue;
    AVPacket* packet = nullptr;
    EXPECT_EQ(queue.Get(&packet, 30), 0);
}

TEST(PacketQueue, NullArgumentsAreRefused) {
    CPacketQueue queue;
    EXPECT_EQ(queue.Put(nullptr), 0);
    EXPECT_EQ(queue.IsFull(), 0);
    PutNumbered(queue, 1, 1);
    EXPECT_EQ(queue.Get(nullptr, 0), 0);
    ExpectNumbered(queue, 1, 1);  // the refused Get took nothing
}

TEST(PacketQueue, FullQueueRefusesThePutAfterTheLastSlotAndKeepsItsPackets) {
    CPacketQueue queue;
    PutNumbered(queue, 0, kCapacity);
    EXPECT_EQ(queue.IsFull(), 1);
    EXPECT_FALSE(queue.WaitForRoom(0));

    AVPacket* extra = NumberedPacket(999);
    EXPECT_EQ(queue.Put(extra), 0);
    av_packet_free(&extra);  // a refused packet stays with the caller

    ExpectNumbered(queue, 0, kCapacity);
    EXPECT_EQ(queue.IsFull(), 0);
}

TEST(PacketQueue, GetFreesASlotForTheNextPut) {
    CPacketQueue queue;
    PutNumbered(queue, 0, kCapacity);
    ExpectNumbered(queue, 0, 1);
    EXPECT_TRUE(queue.WaitForRoom(0));
    EXPECT_EQ(queue.IsFull(), 0);
    PutNumbered(queue, kCapacity, 1);
    EXPECT_EQ(queue.IsFull(), 1);
    ExpectNumbered(queue, 1, kCapacity);
}

TEST(PacketQueue, PacketsKeepTheirOrderAcrossTheWrapFromLastSlotToFirst) {
    CPacketQueue queue;
    PutNumbered(queue, 0, 150);
    ExpectNumbered(queue, 0, 150);
    PutNumbered(queue, 150, kCapacity);  // slots 151..200, then 1..150
    EXPECT_EQ(queue.IsFull(), 1);
    ExpectNumbered(queue, 150, kCapacity);
    AVPacket* packet = nullptr;
    EXPECT_EQ(queue.Get(&packet, 0), 0);
}

TEST(PacketQueue, FlushEmptiesTheQueueAndTheNextPutComesOutFirst) {
    CPacketQueue queue;
    for (int i = 0; i < 120; ++i) ASSERT_EQ(queue.Put(PacketWithPayload(i)), 1);
    EXPECT_EQ(queue.FlushQueue(), 1);  // held packets and their payloads are freed
    EXPECT_TRUE(queue.WaitForRoom(0));
    AVPacket* packet = nullptr;
    EXPECT_EQ(queue.Get(&packet, 0), 0);

    ASSERT_EQ(queue.Put(NumberedPacket(7)), 1);
    ASSERT_EQ(queue.Get(&packet, 0), 1);
    EXPECT_EQ(packet->pts, 7);
    av_packet_free(&packet);
}

TEST(PacketQueue, DestructionFreesHeldPacketsAndTheirPayloads) {
    CPacketQueue full;
    PutNumbered(full, 0, kCapacity);
    CPacketQueue partly;
    for (int i = 0; i < 10; ++i) ASSERT_EQ(partly.Put(PacketWithPayload(i)), 1);
    // LeakSanitizer fails the test if either queue leaves a packet or payload behind.
}

TEST(PacketQueue, WaitingGetWakesWhenAPacketIsPut) {
    CPacketQueue queue;
    std::atomic<int> got{-1};
    platform::Thread consumer;
    auto started = std::chrono::steady_clock::now();
    consumer.Start([&] {
        AVPacket* packet = nullptr;
        got = queue.Get(&packet, 10'000);
        av_packet_free(&packet);
    });
    platform::Sleep(20);
    PutNumbered(queue, 1, 1);
    ASSERT_TRUE(consumer.Join(5'000));
    EXPECT_EQ(got.load(), 1);
    // Far below the Get's time-out: the Put woke it rather than the clock.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

TEST(PacketQueue, EachPacketComesOutWithTheSerialItWasPutWith) {
    CPacketQueue queue;
    ASSERT_EQ(queue.Put(NumberedPacket(1), 4), 1);
    ASSERT_EQ(queue.Put(NumberedPacket(2), 5), 1);
    for (int expected : {4, 5}) {
        AVPacket* packet = nullptr;
        int serial = -1;
        ASSERT_EQ(queue.Get(&packet, 0, &serial), 1);
        EXPECT_EQ(serial, expected);
        av_packet_free(&packet);
    }
}

// A stopping session aborts its queues: a consumer waiting for data and a producer waiting for
// room both wake long before their time-outs, and nothing passes afterwards.
TEST(PacketQueue, AbortWakesEveryWaiterAndRefusesWhatFollows) {
    CPacketQueue empty, full;
    PutNumbered(full, 0, kCapacity);
    std::atomic<int> got{-1}, roomFound{-1};
    platform::Thread consumer, producer;
    consumer.Start([&] {
        AVPacket* packet = nullptr;
        got = empty.Get(&packet, 600'000);
        av_packet_free(&packet);
    });
    producer.Start([&] { roomFound = full.WaitForRoom(600'000) ? 1 : 0; });
    empty.Abort();
    full.Abort();
    ASSERT_TRUE(platform::JoinAll({&consumer, &producer}, 30'000));
    EXPECT_EQ(got.load(), 0);
    EXPECT_EQ(roomFound.load(), 0);
    AVPacket* packet = NumberedPacket(1);
    EXPECT_EQ(empty.Put(packet), 0);
    av_packet_free(&packet);
    EXPECT_EQ(full.Get(&packet, 0), 0);
}

// The read thread and a decoder thread at full speed: every packet arrives once, in order.
TEST(PacketQueue, OneProducerAndOneConsumerPassEveryPacketInOrder) {
    constexpr int kPackets = 20'000;
    CPacketQueue queue;
    std::vector<int64_t> received;
    received.reserve(kPackets);
    platform::Thread producer, consumer;
    producer.Start([&] {
        for (int i = 0; i < kPackets;) {
            AVPacket* packet = NumberedPacket(i);
            while (queue.Put(packet) == 0) queue.WaitForRoom(100);  // as the read thread does
            ++i;
        }
    });
    consumer.Start([&] {
        int idleGets = 0;
        while (int(received.size()) < kPackets && idleGets < 100) {
            AVPacket* packet = nullptr;
            if (queue.Get(&packet, 100) == 0) {
                ++idleGets;
                continue;
            }
            received.push_back(packet->pts);
            av_packet_free(&packet);
        }
    });
    ASSERT_TRUE(producer.Join(60'000));
    ASSERT_TRUE(consumer.Join(60'000));
    ASSERT_EQ(int(received.size()), kPackets);
    for (int i = 0; i < kPackets; ++i) ASSERT_EQ(received[i], i);
}

// The video thread also takes from the audio queue: two consumers never get the same packet.
TEST(PacketQueue, TwoConsumersShareThePacketsWithoutDuplicates) {
    constexpr int kPackets = 10'000;
    CPacketQueue queue;
    std::vector<std::atomic<int>> seen(kPackets);
    std::atomic<bool> producing{true};
    platform::Thread producer, first, second;
    auto consume = [&] {
        while (true) {
            AVPacket* packet = nullptr;
            if (queue.Get(&packet, 20) == 0) {
                if (!producing) return;
                continue;
            }
            ++seen[packet->pts];
            av_packet_free(&packet);
        }
    };
    producer.Start([&] {
        for (int i = 0; i < kPackets;) {
            AVPacket* packet = NumberedPacket(i);
            while (queue.Put(packet) == 0) queue.WaitForRoom(100);
            ++i;
        }
        producing = false;
    });
    first.Start(consume);
    second.Start(consume);
    ASSERT_TRUE(platform::JoinAll({&producer, &first, &second}, 60'000));
    AVPacket* leftover = nullptr;
    while (queue.Get(&leftover, 0)) {
        ++seen[leftover->pts];
        av_packet_free(&leftover);
    }
    for (int i = 0; i < kPackets; ++i) ASSERT_EQ(seen[i].load(), 1) << "packet " << i;
}

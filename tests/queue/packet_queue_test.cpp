#include "engine/packet_queue.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <vector>

#include "engine/record/record_file.h"
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

// A recording packet whose payload comes from the reader's allocator.
AVPacket* RecordingPacket(int64_t number) {
    AVPacket* packet = av_packet_alloc();
    packet->data = CRecordFile::AllocPayload(64);
    packet->size = 64;
    packet->pts = number;
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
        DisposePacket(packet, INPUT_CONTAINER);
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
    EXPECT_TRUE(queue.IsDataSignalled());
    EXPECT_FALSE(queue.IsSpaceSignalled());

    AVPacket* extra = NumberedPacket(999);
    EXPECT_EQ(queue.Put(extra), 0);
    DisposePacket(extra, INPUT_CONTAINER);  // a refused packet stays with the caller

    ExpectNumbered(queue, 0, kCapacity);
    EXPECT_EQ(queue.IsFull(), 0);
}

TEST(PacketQueue, GetFreesASlotForTheNextPut) {
    CPacketQueue queue;
    PutNumbered(queue, 0, kCapacity);
    ExpectNumbered(queue, 0, 1);
    EXPECT_TRUE(queue.IsSpaceSignalled());
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
    for (int kind : {INPUT_CONTAINER, INPUT_RECORDING}) {
        SCOPED_TRACE(kind);
        CPacketQueue queue(kind);
        for (int i = 0; i < 120; ++i) {
            ASSERT_EQ(queue.Put(kind == INPUT_RECORDING ? RecordingPacket(i) : NumberedPacket(i)), 1);
        }
        EXPECT_EQ(queue.FlushQueue(), 1);  // held packets are disposed of by the queue's rule
        EXPECT_TRUE(queue.IsSpaceSignalled());
        EXPECT_FALSE(queue.IsDataSignalled());
        AVPacket* packet = nullptr;
        EXPECT_EQ(queue.Get(&packet, 0), 0);

        ASSERT_EQ(queue.Put(NumberedPacket(7)), 1);
        ASSERT_EQ(queue.Get(&packet, 0), 1);
        EXPECT_EQ(packet->pts, 7);
        DisposePacket(packet, INPUT_CONTAINER);
    }
}

TEST(PacketQueue, DestructionDisposesOfHeldPacketsByTheChosenRule) {
    CPacketQueue containerQueue;
    PutNumbered(containerQueue, 0, kCapacity);
    CPacketQueue recordingQueue;
    recordingQueue.SetInputKind(INPUT_RECORDING);
    for (int i = 0; i < 10; ++i) ASSERT_EQ(recordingQueue.Put(RecordingPacket(i)), 1);
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
        DisposePacket(packet, INPUT_CONTAINER);
    });
    platform::Sleep(20);
    PutNumbered(queue, 1, 1);
    ASSERT_TRUE(consumer.Join(5'000));
    EXPECT_EQ(got.load(), 1);
    // Far below the Get's time-out: the Put woke it rather than the clock.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
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
            while (queue.Put(packet) == 0) platform::Sleep(1);  // wait for room, as the read thread does
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
            DisposePacket(packet, INPUT_CONTAINER);
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
            DisposePacket(packet, INPUT_CONTAINER);
        }
    };
    producer.Start([&] {
        for (int i = 0; i < kPackets;) {
            AVPacket* packet = NumberedPacket(i);
            while (queue.Put(packet) == 0) platform::Sleep(1);
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
        DisposePacket(leftover, INPUT_CONTAINER);
    }
    for (int i = 0; i < kPackets; ++i) ASSERT_EQ(seen[i].load(), 1) << "packet " << i;
}

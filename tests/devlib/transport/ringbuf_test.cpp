// The byte ring: order across the wrap, partial writes when full, and the fatal index check.

#include "transport/ringbuf.h"
#include "dv_log.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(RingBuf, KeepsOrderAcrossTheWrapAndStoresOnlyWhatFits) {
    RingBuf *rb = RingBuf_new(8);
    ASSERT_NE(rb, nullptr);
    EXPECT_EQ(rb->slots, 9);
    char out[16] = {};
    ASSERT_EQ(RingBuf_write(rb, "abcdef", 6), 6);
    ASSERT_EQ(RingBuf_read(rb, out, 4), 4); // read index moves to 4
    EXPECT_EQ(std::string(out, 4), "abcd");
    EXPECT_EQ(RingBuf_write(rb, "0123456789", 10), 6) << "only the free bytes are taken";
    EXPECT_EQ(RingBuf_used(rb), 8);
    EXPECT_EQ(RingBuf_free(rb), 0);
    EXPECT_EQ(RingBuf_write(rb, "x", 1), 0);
    EXPECT_EQ(RingBuf_push(rb, 'x'), -1);
    EXPECT_EQ(RingBuf_read(rb, out, 16), 8);
    EXPECT_EQ(std::string(out, 8), "ef012345");
    EXPECT_EQ(RingBuf_pop(rb), -1);
    EXPECT_EQ(RingBuf_push(rb, 0xff), 0);
    EXPECT_EQ(RingBuf_pop(rb), 0xff) << "a byte comes back as 0-255, not as -1";
    RingBuf_delete(rb);
}

TEST(RingBuf, WorksOverACallersStorage) {
    uint8_t storage[4];
    RingBuf rb;
    ASSERT_EQ(RingBuf_init(&rb, storage, sizeof storage), 0);
    EXPECT_EQ(RingBuf_write(&rb, "abcd", 4), 3);
    EXPECT_EQ(RingBuf_pop(&rb), 'a');
    EXPECT_EQ(RingBuf_init(&rb, storage, 1), -81);
}

TEST(RingBufDeathTest, CorruptIndicesStopTheProcessWithAFailureCode) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    RingBuf *rb = RingBuf_new(8);
    rb->write = 42; // what a stray write over the ring would leave
    char out[4];
    // The message goes to the console sink, which the child opens first.
    EXPECT_EXIT(
        {
            StdoutConsole_init();
            RingBuf_read(rb, out, sizeof out);
        },
        ::testing::ExitedWithCode(RINGBUF_FAULT_EXIT), "fault err\\(42,t=42,h=0,bs=9");
    rb->write = 0;
    RingBuf_delete(rb);
}

} // namespace

// MemBuf, StrBuf, StrMap and the packet buffers: growth, bounds and counts.

#include "dv_stream.h"
#include "dv_result.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// ---- MemBuf ----

TEST(MemBuf, GrowsToTheNextMultipleOf16ForDataAndTerminator) {
    AbsFile *mb = MemBuf_new(16, 0);
    ASSERT_NE(mb, nullptr);
    struct Step {
        int bytesWritten;
        int capacity;
    };
    // 15 bytes and the terminator fit 16; the 16th byte needs 17; the 32nd needs 33.
    const Step steps[] = {{15, 16}, {16, 32}, {31, 32}, {32, 48}};
    int written = 0;
    for (const Step &s : steps) {
        for (; written < s.bytesWritten; ++written)
            ASSERT_EQ(AbsFile_putc(mb, 'a' + written % 26), 'a' + written % 26);
        EXPECT_EQ(MemBuf_capacity(mb), s.capacity) << "after " << s.bytesWritten << " bytes";
        EXPECT_EQ(MemBuf_len(mb), s.bytesWritten);
        EXPECT_EQ(MemBuf_buf(mb)[s.bytesWritten], '\0');
    }
    MemBuf_delete(mb);
}

TEST(MemBuf, ANeedThatIsAMultipleOf16Gets16More) {
    AbsFile *mb = MemBuf_new(16, 0);
    char data[31];
    std::memset(data, 'x', sizeof data);
    ASSERT_EQ(AbsFile_write(mb, data, 31), 31); // needs 32
    EXPECT_EQ(MemBuf_capacity(mb), 48);
    MemBuf_delete(mb);
}

TEST(MemBuf, AFixedBufferRefusesWhatDoesNotFitAndKeepsItsData) {
    AbsFile *mb = MemBuf_new(8, 0);
    ASSERT_EQ(MemBuf_disableExpand(mb), 0);
    ASSERT_EQ(AbsFile_write(mb, "1234567", 7), 7);
    EXPECT_EQ(AbsFile_putc(mb, '8'), DV_E_FULL);
    EXPECT_EQ(AbsFile_write(mb, "89", 2), DV_E_FULL);
    EXPECT_STREQ(MemBuf_buf(mb), "1234567");
    EXPECT_EQ(MemBuf_capacity(mb), 8);
    ASSERT_EQ(MemBuf_enableExpand(mb), 0);
    EXPECT_EQ(AbsFile_write(mb, "89", 2), 2);
    EXPECT_STREQ(MemBuf_buf(mb), "123456789");
    MemBuf_delete(mb);
}

TEST(MemBuf, WithoutABufferNothingCanBeWrittenOrMadeExpandable) {
    AbsFile *mb = MemBuf_new(0, 0);
    ASSERT_NE(mb, nullptr);
    EXPECT_EQ(MemBuf_buf(mb), nullptr);
    EXPECT_EQ(AbsFile_putc(mb, 'a'), DV_E_FULL);
    EXPECT_EQ(MemBuf_enableExpand(mb), DV_E_IO);
    EXPECT_EQ(AbsFile_getc(mb), DV_E_EOF);
    MemBuf_delete(mb);
}

TEST(MemBuf, WritingItsOwnBytesWhileGrowingCopiesThemWhole) {
    AbsFile *mb = MemBuf_new(16, 0);
    ASSERT_EQ(AbsFile_write(mb, "0123456789abcde", 15), 15);
    // The source lies in the buffer that has to move to make room.
    ASSERT_EQ(AbsFile_write(mb, MemBuf_buf(mb), 15), 15);
    EXPECT_STREQ(MemBuf_buf(mb), "0123456789abcde0123456789abcde");
    MemBuf_delete(mb);
}

TEST(MemBuf, PrintfOfLongUserDataGrowsInsteadOfEndingTheProgram) {
    AbsFile *mb = MemBuf_new(16, 16);
    const std::string value(1000, 'N'); // e.g. a long vCard value
    EXPECT_EQ(mb->print(mb, "N:%s\r\n", value.c_str()), 1004);
    EXPECT_EQ(std::string(MemBuf_buf(mb)), "N:" + value + "\r\n");

    MemBuf_disableExpand(mb);
    EXPECT_EQ(mb->print(mb, "%s", value.c_str()), DV_E_FULL);
    EXPECT_EQ(MemBuf_len(mb), 1004) << "a refused print writes nothing";
    MemBuf_delete(mb);

    AbsFile *noPrint = MemBuf_new(16, 0);
    EXPECT_EQ(noPrint->print(noPrint, "x"), DV_E_UNSUPPORTED);
    MemBuf_delete(noPrint);
}

TEST(MemBuf, SeekAcceptsZeroToLengthAndAnswersMinus81Otherwise) {
    struct Row {
        const char *name;
        int32_t offset, whence, result, pos;
    };
    const Row rows[] = {
        {"start", 0, 0, 0, 0},        {"end", 0, 2, 0, 5},         {"back from end", -2, 2, 0, 3},
        {"past end", 1, 2, DV_E_ARG, 5}, {"before start", -1, 0, DV_E_ARG, 5}, {"bad whence", 0, 3, DV_E_ARG, 5},
        {"relative", -5, 1, 0, 0},
    };
    for (const Row &r : rows) {
        AbsFile *mb = MemBuf_new(16, 0);
        AbsFile_write(mb, "hello", 5);
        EXPECT_EQ(AbsFile_seek(mb, r.offset, r.whence), r.result) << r.name;
        EXPECT_EQ(AbsFile_tell(mb), r.pos) << r.name;
        MemBuf_delete(mb);
    }
}

TEST(MemBuf, CallsOnAnotherKindOfStreamAreRefused) {
    char buf[8];
    AbsFile *mem = AbsFileMem_new(buf, sizeof buf, 0, 0);
    EXPECT_EQ(MemBuf_len(mem), DV_E_ARG);
    EXPECT_EQ(MemBuf_buf(mem), nullptr);
    MemBuf_delete(mem); // not a MemBuf: left alone
    EXPECT_EQ(AbsFileMem_capacity(mem), 8);
    AbsFileMem_delete(mem);
}

// ---- StrBuf ----

TEST(StrBuf, GrowsLikeMemBufAndStaysTerminated) {
    StrBuf *sb = StrBuf_new(16);
    StrBuf_appendChars(sb, "0123456789abcde");
    EXPECT_EQ(StrBuf_capacity(sb), 16);
    StrBuf_appendChar(sb, 'f');
    EXPECT_EQ(StrBuf_capacity(sb), 32);
    StrBuf_appendBuf(sb, "gh\0ij", 5);
    EXPECT_EQ(StrBuf_len(sb), 21);
    EXPECT_EQ(StrBuf_buf(sb)[21], '\0');
    StrBuf_appendStrBuf(sb, sb); // its own text, while the buffer moves
    EXPECT_EQ(StrBuf_len(sb), 42);
    EXPECT_EQ(std::memcmp(StrBuf_buf(sb), StrBuf_buf(sb) + 21, 21), 0);
    StrBuf_clear(sb);
    EXPECT_STREQ(StrBuf_buf(sb), "");
    StrBuf_delete(sb);
}

TEST(StrBuf, ACallersBufferIsUsedInPlaceAndNeverGrown) {
    StrBuf *sb = StrBuf_new(0);
    EXPECT_STREQ(StrBuf_buf(sb), "") << "never NULL, even without a buffer";
    StrBuf_appendChars(sb, "lost");
    EXPECT_EQ(StrBuf_len(sb), 0);

    char mine[8] = "abcdefg";
    ASSERT_EQ(StrBuf_setBuf(sb, mine, sizeof mine, 3), 0);
    EXPECT_STREQ(StrBuf_buf(sb), "abc") << "length and text agree";
    StrBuf_appendChars(sb, "XYZW"); // 3 + 4 + 1 = 8 fits
    EXPECT_STREQ(mine, "abcXYZW");
    StrBuf_appendChar(sb, '!'); // does not fit: skipped, no error
    EXPECT_STREQ(mine, "abcXYZW");
    EXPECT_EQ(StrBuf_enableExpand(sb), DV_E_IO);

    ASSERT_EQ(StrBuf_setBuf(sb, mine, sizeof mine, 99), 0);
    EXPECT_EQ(StrBuf_len(sb), 7) << "a length past the buffer is cut to it";
    StrBuf_delete(sb); // does not free mine
}

// ---- StrMap ----

TEST(StrMap, FullTableAnswers201AndADeletedSlotIsReused) {
    StrMap *map = StrMap_new(8, 3);
    int32_t idx = -1;
    for (int32_t i = 0; i < 3; ++i) {
        ASSERT_EQ(StrMap_add(map, ("s" + std::to_string(i)).c_str(), &idx), 0);
        EXPECT_EQ(idx, i);
    }
    EXPECT_EQ(StrMap_add(map, "more", &idx), DV_E_FULL);
    ASSERT_EQ(StrMap_del(map, 1), 0);
    ASSERT_EQ(StrMap_add(map, "again", &idx), 0);
    EXPECT_EQ(idx, 1);
    EXPECT_STREQ(StrMap_get(map, 1), "again");
    StrMap_delete(map);
}

TEST(StrMap, CountsFollowTheSlots) {
    StrMap *map = StrMap_new(8, 2);
    int32_t idx = -1;
    // An empty text leaves its slot free, so it must not count as used.
    EXPECT_EQ(StrMap_add(map, "", &idx), 0);
    EXPECT_EQ(StrMap_used(map), 0);
    EXPECT_EQ(StrMap_get(map, idx), nullptr);
    // Deleting a free slot must not lower the count below the used slots.
    EXPECT_EQ(StrMap_del(map, 1), 0);
    EXPECT_EQ(StrMap_used(map), 0);
    ASSERT_EQ(StrMap_add(map, "a", &idx), 0);
    ASSERT_EQ(StrMap_add(map, "b", &idx), 0);
    EXPECT_EQ(StrMap_used(map), 2);
    EXPECT_EQ(StrMap_add(map, "c", &idx), DV_E_FULL);
    EXPECT_EQ(StrMap_set(map, 0, ""), 0);
    EXPECT_EQ(StrMap_used(map), 1);
    StrMap_clear(map);
    EXPECT_EQ(StrMap_used(map), 0);
    StrMap_delete(map);
}

TEST(StrMap, TextsAreCutToTheWidthAndFoundExactly) {
    StrMap *map = StrMap_new(5, 4);
    int32_t idx = -1;
    ASSERT_EQ(StrMap_add(map, "abcdefgh", &idx), 0);
    EXPECT_STREQ(StrMap_get(map, idx), "abcd");
    EXPECT_EQ(StrMap_find(map, "abcd", &idx), 1);
    EXPECT_EQ(StrMap_find(map, "ABCD", &idx), DV_E_NOTFOUND);
    EXPECT_EQ(StrMap_find(map, "abc", &idx), DV_E_NOTFOUND);
    ASSERT_EQ(StrMap_uadd(map, "abcdefgh", &idx), 0); // the same text as stored: not added twice
    EXPECT_EQ(idx, 0);
    EXPECT_EQ(StrMap_used(map), 1);
    ASSERT_EQ(StrMap_uadd(map, "x", &idx), 0);
    EXPECT_EQ(idx, 1);
    EXPECT_EQ(StrMap_del(map, 4), DV_E_RANGE);
    EXPECT_EQ(StrMap_del(map, -1), DV_E_RANGE);
    EXPECT_EQ(StrMap_get(map, 4), nullptr);
    StrMap_delete(map);
}

// ---- skb ----

TEST(Skb, AllocationLeaves16BytesOfHeadroomInAMultipleOf16) {
    struct Row {
        int32_t n, area;
    };
    const Row rows[] = {{0, 16}, {1, 32}, {16, 32}, {17, 48}, {255, 272}};
    for (const Row &r : rows) {
        SkBuff *skb = CFI_dev_alloc_skb(r.n);
        ASSERT_NE(skb, nullptr);
        EXPECT_EQ(static_cast<int32_t>(skb->truesize), r.area) << r.n;
        EXPECT_EQ(skb_headroom(skb), 16);
        EXPECT_GE(skb_tailroom(skb), r.n);
        EXPECT_EQ(skb->len, 0u);
        CFI_dev_kfree_skb(skb);
    }
    EXPECT_EQ(CFI_dev_alloc_skb(-1), nullptr);
}

TEST(Skb, PutPushAndPullStayInsideTheArea) {
    SkBuff *skb = CFI_dev_alloc_skb(8); // area 32: 16 head, 16 tail
    uint8_t *p = skb_put(skb, 4);
    ASSERT_EQ(p, skb->data);
    std::memcpy(p, "body", 4);
    EXPECT_EQ(skb_put(skb, 13), nullptr) << "past the end";
    EXPECT_EQ(skb->len, 4u);
    ASSERT_NE(skb_push(skb, 3), nullptr);
    std::memcpy(skb->data, "hdr", 3);
    EXPECT_EQ(skb_push(skb, 14), nullptr) << "before the head";
    EXPECT_EQ(skb->len, 7u);

    uint8_t *data = skb->data;
    EXPECT_EQ(skb_pull(skb, 8), nullptr);
    EXPECT_EQ(skb->data, data) << "a pull of too many bytes changes nothing";
    EXPECT_EQ(skb->len, 7u);
    ASSERT_NE(skb_pull(skb, 3), nullptr);
    EXPECT_EQ(std::memcmp(skb->data, "body", 4), 0);
    CFI_dev_kfree_skb(skb);
}

TEST(Skb, AClonesSharedAreaLivesUntilTheLastHeaderGoes) {
    SkBuff *skb = CFI_dev_alloc_skb(4);
    std::memcpy(skb_put(skb, 4), "data", 4);
    SkBuff *clone = CFI_skb_clone(skb);
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->data, skb->data);
    EXPECT_EQ(skb->cloned, 1);
    EXPECT_EQ(clone->cloned, 1);
    CFI_dev_kfree_skb(skb);
    EXPECT_EQ(std::memcmp(clone->data, "data", 4), 0); // ASan: still allocated
    CFI_dev_kfree_skb(clone);                          // ASan: nothing leaks
}

TEST(Skb, QueuesKeepOrderAtBothEnds) {
    SkBuffHead q;
    skb_queue_head_init(&q);
    EXPECT_EQ(skb_dequeue(&q), nullptr);
    EXPECT_EQ(skb_peek_tail(&q), nullptr);
    SkBuff *a = CFI_dev_alloc_skb(1), *b = CFI_dev_alloc_skb(1), *c = CFI_dev_alloc_skb(1);
    skb_queue_tail(&q, b);
    skb_queue_tail(&q, c);
    skb_queue_head(&q, a);
    skb_queue_tail(&q, a); // already queued: stays where it is
    EXPECT_EQ(q.qlen, 3u);
    EXPECT_EQ(skb_peek(&q), a);
    EXPECT_EQ(skb_peek_tail(&q), c);
    EXPECT_EQ(skb_dequeue_tail(&q), c);
    EXPECT_EQ(skb_dequeue(&q), a);
    EXPECT_EQ(skb_dequeue(&q), b);
    EXPECT_EQ(skb_dequeue(&q), nullptr);
    EXPECT_EQ(q.qlen, 0u);
    for (SkBuff *s : {a, b, c})
        CFI_dev_kfree_skb(s);
}

} // namespace

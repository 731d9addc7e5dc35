// Queues: order, the capacity that growth and compaction give (it is part of the stored
// text), and the checks on the positions of a read text.

#include "tests/unit/ds_fixture.h"
#include "world/ds_queue.h"

using namespace kestrin;
using namespace kestrin::testing;

namespace {

TEST_F(DsTest, QueueOrderAndEnds) {
    const RValue q = Call("ds_queue_create", {});
    EXPECT_EQ(Real("ds_queue_empty", {q}), 1);
    EXPECT_EQ(Text("ds_queue_dequeue", {q}), "0");
    EXPECT_EQ(Text("ds_queue_head", {q}), "0");
    EXPECT_EQ(Text("ds_queue_tail", {q}), "0");
    Call("ds_queue_enqueue", {q, R(1)});
    Call("ds_queue_enqueue", {q, S("b")});
    Call("ds_queue_enqueue", {q, R(3)});
    EXPECT_EQ(Real("ds_queue_size", {q}), 3);
    EXPECT_EQ(Text("ds_queue_head", {q}), "1");
    EXPECT_EQ(Text("ds_queue_tail", {q}), "3");
    EXPECT_EQ(Text("ds_queue_dequeue", {q}), "1");
    EXPECT_EQ(Text("ds_queue_dequeue", {q}), "\"b\"");
    EXPECT_EQ(Text("ds_queue_head", {q}), "3");
    EXPECT_EQ(Real("ds_queue_size", {q}), 1);
    EXPECT_TRUE(errors().empty());
}

TEST_F(DsTest, QueueTextAfterOneEnqueueHoldsTheWholeCapacity) {
    const RValue q = Call("ds_queue_create", {});
    EXPECT_EQ(Call("ds_queue_write", {q}).str(), HexInt(201) + HexInt(0) + HexInt(0) + HexInt(0));
    Call("ds_queue_enqueue", {q, R(5)});
    std::string expected = HexInt(201) + HexInt(1) + HexInt(0) + HexInt(16) + HexValue(R(5));
    for (int i = 1; i < 16; ++i) expected += HexValue(R(0));
    EXPECT_EQ(Call("ds_queue_write", {q}).str(), expected);
    EXPECT_EQ(expected.size(), 2u * (16 + 16 * 16));
}

// Growth to i_first + 16 when full; compaction once more than 16 entries were removed and they
// outnumber the rest; removed and stale entries stay in the text.
TEST_F(DsTest, QueueGrowthAndCompactionFollowTheRules) {
    CDS_Queue q;
    for (int i = 0; i < 16; ++i) q.Enqueue(R(i));
    EXPECT_EQ(q.i_val.size(), 16u);
    q.Enqueue(R(16));
    EXPECT_EQ(q.i_val.size(), 32u);
    for (int i = 17; i < 40; ++i) q.Enqueue(R(i));
    EXPECT_EQ(q.i_val.size(), 48u);
    // 17 removals: i_last = 17 > 16 but not > 40 div 2.
    for (int i = 0; i < 17; ++i) EXPECT_EQ(q.Dequeue().val(), i);
    EXPECT_EQ(q.i_last, 17);
    EXPECT_EQ(q.i_first, 40);
    for (int i = 17; i < 20; ++i) EXPECT_EQ(q.Dequeue().val(), i);
    EXPECT_EQ(q.i_last, 20);
    // The 21st removal: 21 > 20, the 19 left move to the front.
    EXPECT_EQ(q.Dequeue().val(), 20);
    EXPECT_EQ(q.i_last, 0);
    EXPECT_EQ(q.i_first, 19);
    EXPECT_EQ(q.i_val.size(), 48u);
    EXPECT_EQ(q.i_val[0].val(), 21);
    EXPECT_EQ(q.i_val[18].val(), 39);
    EXPECT_EQ(q.i_val[19].val(), 19); // stale entries past the moved ones keep their contents
    EXPECT_EQ(q.i_val[39].val(), 39);
    EXPECT_EQ(q.Head().val(), 21);
    EXPECT_EQ(q.Tail().val(), 39);

    // The text carries all of it and reads back to the same text.
    CDS_Queue r;
    ASSERT_EQ(r.ReadFromString(q.WriteToString()), DsReadStatus::Read);
    EXPECT_EQ(r.WriteToString(), q.WriteToString());
    EXPECT_EQ(r.Dequeue().val(), 21);
}

TEST_F(DsTest, QueueCompactionAlsoRunsOnAnEmptyDequeue) {
    CDS_Queue q;
    for (int i = 0; i < 17; ++i) q.Enqueue(R(i));
    for (int i = 0; i < 17; ++i) (void)q.Dequeue();
    EXPECT_EQ(q.i_first, 0); // 17 > 16 and 17 > 17 div 2: compacted to nothing
    EXPECT_EQ(q.i_last, 0);
    EXPECT_EQ(q.i_val.size(), 32u);
    EXPECT_EQ(q.Dequeue().val(), 0);
}

// Positions a writer cannot produce are refused whole.
TEST_F(DsTest, QueueTextWithPositionsOutOfRangeIsRefused) {
    const struct {
        int32_t first, last, capacity;
        bool valid;
    } cases[] = {
        {0, 0, 0, true},           {2, 1, 2, true},   {2, 2, 2, true},    {1, 2, 2, false}, // backwards
        {3, 0, 2, false},          {0, -1, 2, false}, {-1, -1, 2, false}, {0, 0, -1, false},
        {0, 0, 0x7FFFFFFF, false}, // a capacity beyond the text
    };
    for (const auto& c : cases) {
        std::string text = HexInt(201) + HexInt(c.first) + HexInt(c.last) + HexInt(c.capacity);
        for (int i = 0; i < 2 && i < c.capacity; ++i) text += HexValue(R(i + 10));
        CDS_Queue q;
        q.Enqueue(S("kept"));
        const std::string before = q.WriteToString();
        EXPECT_EQ(q.ReadFromString(text), c.valid ? DsReadStatus::Read : DsReadStatus::Malformed)
            << c.first << " " << c.last << " " << c.capacity;
        if (c.valid) {
            EXPECT_EQ(q.WriteToString(), text);
            EXPECT_EQ(static_cast<int32_t>(q.Size()), c.first - c.last);
        } else {
            EXPECT_EQ(q.WriteToString(), before);
        }
    }
}

} // namespace

#include <xob/support/CIPtr.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

struct Counted {
    explicit Counted(std::atomic<int>& destroyed) : destroyed(destroyed) {}
    ~Counted() { ++destroyed; }
    std::atomic<int>& destroyed;
    int value = 0;
};

TEST(CIPtr, SharesOneObjectUntilTheLastReferenceGoes) {
    std::atomic<int> destroyed{0};
    CIPtr<Counted> empty;
    EXPECT_FALSE(empty);
    {
        CIPtr<Counted> first(new Counted(destroyed));
        CIPtr<Counted> second = first;
        second->value = 7;
        EXPECT_EQ((*first).value, 7);
        first = empty;  // drops one share
        EXPECT_FALSE(first);
        EXPECT_EQ(destroyed, 0);
        EXPECT_EQ(second.GetRefCount(), 1);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(CIPtr, CountsSharesMadeAndDroppedOnManyThreads) {
    std::atomic<int> destroyed{0};
    CIPtr<Counted> shared(new Counted(destroyed));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([shared] {
            for (int i = 0; i < 10000; ++i) {
                CIPtr<Counted> copy = shared;
                copy = CIPtr<Counted>(copy);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(shared.GetRefCount(), 1);
    shared.Reset();
    EXPECT_EQ(destroyed, 1);
}

TEST(CIArray, KeepsElementsInIndexOrder) {
    CIArray<int> countries{276, 40};
    countries.Append(756);
    std::vector<int> read;
    for (long i = 0; i < countries.GetSize(); ++i) read.push_back(countries[i]);
    EXPECT_EQ(read, (std::vector<int>{276, 40, 756}));
}

}  // namespace

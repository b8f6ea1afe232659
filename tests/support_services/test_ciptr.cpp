#include <xob/support/CIPtr.h>

#include "TestKit.h"

namespace {

struct Counted {
    explicit Counted(int& destroyed) : destroyed(destroyed) {}
    ~Counted() { ++destroyed; }
    int& destroyed;
};

// The route guidance logger shares its owner's options this way.
TEST(CIPtr, SharesOneObjectUntilTheLastShareGoes) {
    int destroyed = 0;
    CIPtr<Counted> empty;
    CIPtr<Counted> first(new Counted(destroyed));
    CIPtr<Counted> second = first;
    EXPECT_TRUE(first && !empty);
    EXPECT_EQ(&*second, first.Get());
    EXPECT_EQ(second.GetRefCount(), 2);
    first = empty;
    second.Reset();
    EXPECT_FALSE(first || second);
    EXPECT_EQ(destroyed, 1);
}

}  // namespace

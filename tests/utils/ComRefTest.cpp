#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "ComRef.h"

namespace
{
// Counts its references the way a COM object does.
struct Counted
{
    unsigned long refs = 1; // the creator's reference
    unsigned long AddRef() { return ++refs; }
    unsigned long Release() { return --refs; }
};
} // namespace

TEST(ComRefTest, AdoptsSharesAndReleasesExactlyOnce)
{
    Counted object;
    {
        ComRef<Counted> owner(&object); // adopts the creator's reference
        EXPECT_EQ(1u, object.refs);
        {
            ComRef<Counted> copy = owner;
            ComRef<Counted> shared = ComRef<Counted>::Share(&object);
            EXPECT_EQ(3u, object.refs);
            ComRef<Counted> moved = std::move(copy);
            EXPECT_EQ(3u, object.refs);
            EXPECT_FALSE(copy);
            EXPECT_EQ(&object, moved.Get());
        }
        EXPECT_EQ(1u, object.refs);
        std::vector<ComRef<Counted>> many(4, owner);
        EXPECT_EQ(5u, object.refs);
    }
    EXPECT_EQ(0u, object.refs);
}

TEST(ComRefTest, ResetOutAndDetachHandOverTheReference)
{
    Counted first, second;
    ComRef<Counted> ref(&first);
    ref.Reset(&second);
    EXPECT_EQ(0u, first.refs);
    EXPECT_EQ(1u, second.refs);

    Counted** slot = ref.Put(); // what a Create* call writes into
    EXPECT_EQ(0u, second.refs);
    EXPECT_EQ(nullptr, *slot);
    *slot = &first;
    first.refs = 1;
    ref = ref; // self-assignment keeps the count
    EXPECT_EQ(1u, first.refs);

    Counted* raw = ref.Detach();
    EXPECT_EQ(&first, raw);
    EXPECT_FALSE(ref);
    EXPECT_EQ(1u, first.refs); // the caller releases it now
}

#pragma once
// A table of library look-ups and the effect name each should find.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MetaEffectLibrary.h"

struct FindCase
{
    const char* pattern;
    std::vector<std::string> kinds;
    const char* found; // null: nothing
};

inline void ExpectFinds(MetaEffectLibrary& library, const std::vector<FindCase>& cases)
{
    for (const FindCase& c : cases)
    {
        Effect* e = library.Find(c.pattern, c.kinds);
        EXPECT_EQ(c.found ? c.found : "", e ? e->GetName() : "") << c.pattern;
    }
}

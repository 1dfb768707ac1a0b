#include "core/namemask.h"

#include <gtest/gtest.h>

namespace {

struct MaskCase {
    const char *name;
    const char *mask;
    bool matches;
};

class MaskMatching : public ::testing::TestWithParam<MaskCase> {};

TEST_P(MaskMatching, FollowsTheWildcardRules)
{
    const MaskCase &c = GetParam();
    EXPECT_EQ(MatchesMask(QByteArray(c.name), QByteArray(c.mask)), c.matches)
        << "name " << c.name << ", mask " << c.mask;
}

INSTANTIATE_TEST_SUITE_P(SongMask, MaskMatching, ::testing::Values(
    MaskCase{"a.mid", "*.mid;*.rmi", true},
    MaskCase{"B.RMI", "*.mid;*.rmi", true},
    MaskCase{"Song.MiD", "*.mid;*.rmi", true},
    MaskCase{"c.wav", "*.mid;*.rmi", false},
    MaskCase{"x.midi", "*.mid;*.rmi", false},
    MaskCase{"a.mid.bak", "*.mid;*.rmi", false},
    MaskCase{"mid", "*.mid;*.rmi", false},
    MaskCase{".mid", "*.mid;*.rmi", true},
    MaskCase{"\xff\xfe.mid", "*.mid;*.rmi", true},
    MaskCase{"a.mid", "*.rmi", false}));

INSTANTIATE_TEST_SUITE_P(Wildcards, MaskMatching, ::testing::Values(
    MaskCase{"abc", "a?c", true},
    MaskCase{"ac", "a?c", false},
    MaskCase{"aXbYc", "a*b*c", true},
    MaskCase{"aXbY", "a*b*c", false},
    MaskCase{"anything", "*", true},
    MaskCase{"", "*", true},
    MaskCase{"a.mid", "", false},
    MaskCase{"a.mid", ";;", false},
    MaskCase{"a.mid", "*.rmi; *.mid ", true},
    MaskCase{"\xc3\xa9.mid", "\xc3\xa9*", true},
    MaskCase{"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "a*a*a*a*a*a*a*a*b", false}));

} // namespace

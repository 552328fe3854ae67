#include <gtest/gtest.h>
#include "app/input.h"
TEST(KeyTransitions, Placeholder) { updateKeyTransitions(); EXPECT_EQ(keyTransition['a'], KEY_UP); }

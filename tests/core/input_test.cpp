#include <gtest/gtest.h>

#include <cstring>

#include "core/input.h"

class KeyTransitionTest : public ::testing::Test {
protected:
    KeyTable keys;
    unsigned char (&keyDown)[256] = keys.down;
    unsigned char (&keyTransition)[256] = keys.transition;
    void updateKeyTransitions() { keys.update(); }
    bool keyPressed(unsigned char k) const { return keys.pressed(k); }
    bool keyActive(unsigned char k) const { return keys.active(k); }
};

TEST_F(KeyTransitionTest, HeldKeyReadsPressedHeldReleased)
{
    keyDown['a'] = 1;
    updateKeyTransitions();
    EXPECT_EQ(keyTransition['a'], KEY_PRESSED);
    EXPECT_TRUE(keyPressed('a'));
    updateKeyTransitions();
    EXPECT_EQ(keyTransition['a'], KEY_HELD);
    EXPECT_TRUE(keyActive('a'));
    EXPECT_FALSE(keyPressed('a'));
    keyDown['a'] = 0;
    updateKeyTransitions();
    EXPECT_EQ(keyTransition['a'], KEY_RELEASED);
    EXPECT_TRUE(keyActive('a'));  // still active in the frame it came up
    updateKeyTransitions();
    EXPECT_EQ(keyTransition['a'], KEY_UP);
}

TEST_F(KeyTransitionTest, TapBetweenFramesIsInvisible)
{
    keyDown['q'] = 1;
    keyDown['q'] = 0;
    updateKeyTransitions();
    EXPECT_EQ(keyTransition['q'], KEY_UP);
}

TEST_F(KeyTransitionTest, CasesAndHighCodesAreIndependent)
{
    keyDown['b'] = 1;
    keyDown[255] = 1;
    updateKeyTransitions();
    EXPECT_EQ(keyTransition['b'], KEY_PRESSED);
    EXPECT_EQ(keyTransition['B'], KEY_UP);
    EXPECT_EQ(keyTransition[255], KEY_PRESSED);
}

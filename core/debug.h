#pragma once
// Broken internal invariants stop the program with the failed expression's text.
// These checks stay on in every build type: a corrupt world is worse than a stop.

namespace tv {
[[noreturn]] void assertFailed(const char* expr, const char* file, int line);
}

#define TV_ASSERT(expr) ((expr) ? (void)0 : ::tv::assertFailed(#expr, __FILE__, __LINE__))
// For invariants whose documented text does not compile cleanly as written.
#define TV_ASSERT_TEXT(cond, text) ((cond) ? (void)0 : ::tv::assertFailed(text, __FILE__, __LINE__))

#include <gtest/gtest.h>

#include "shell/embedder/embedder_api.h"

extern "C" size_t EmbedderMessageRecordSizeInC(void);

namespace {

// The embedder fills the message record from C; both languages must agree on its layout.
TEST(EmbedderInterface, MessageRecordHasTheSameLayoutInCAndCpp) {
  EXPECT_EQ(EmbedderMessageRecordSizeInC(), sizeof(FlutterDesktopMessage));
}

}  // namespace

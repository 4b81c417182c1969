#include <gtest/gtest.h>

#include <whisper.h>

// The speech engine is linked statically; its default parameter records are
// reachable from our code.
TEST(WhisperLink, DefaultParameterRecordsAreAvailable)
{
    const whisper_context_params context = whisper_context_default_params();
    EXPECT_TRUE(context.use_gpu || !context.use_gpu);
    const whisper_full_params greedy = whisper_full_default_params(WHISPER_SAMPLING_GREEDY);
    EXPECT_EQ(greedy.strategy, WHISPER_SAMPLING_GREEDY);
    EXPECT_GT(greedy.n_threads, 0);
}

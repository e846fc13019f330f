// Prompts answered from a script: answers in order, every prompt recorded,
// questions beyond the script answered No and counted.
#include <gtest/gtest.h>

#include "tests/support/ScriptedPrompts.h"

namespace {

using ui::PromptIcon;
using ui::PromptRecord;

TEST(ScriptedPrompts, AnswersInOrderAndRecordsEverything) {
  ui::ScriptedPrompts prompts;
  prompts.Answer(true);
  prompts.Answer(false);
  EXPECT_TRUE(prompts.AskYesNo("first?", "caption", PromptIcon::kQuestion));
  prompts.Inform("notice", "other caption");
  EXPECT_FALSE(prompts.AskYesNo("second?", "caption", PromptIcon::kInformation));
  ASSERT_EQ(prompts.Shown().size(), 3u);
  EXPECT_EQ(prompts.Shown()[0].kind, PromptRecord::Kind::kQuestion);
  EXPECT_EQ(prompts.Shown()[1].kind, PromptRecord::Kind::kNotice);
  EXPECT_EQ(prompts.Shown()[1].caption, "other caption");
  EXPECT_EQ(prompts.Shown()[2].icon, PromptIcon::kInformation);
  EXPECT_EQ(prompts.Texts(), (std::vector<std::string>{"first?", "notice", "second?"}));
  EXPECT_EQ(prompts.UnexpectedQuestions(), 0);
  EXPECT_EQ(prompts.PendingAnswers(), 0u);
}

TEST(ScriptedPrompts, QuestionBeyondTheScriptIsNoAndCounted) {
  ui::ScriptedPrompts prompts;
  EXPECT_FALSE(prompts.AskYesNo("unexpected?", "c", PromptIcon::kQuestion));
  EXPECT_EQ(prompts.UnexpectedQuestions(), 1);
  EXPECT_EQ(prompts.Shown().size(), 1u);
}

TEST(ScriptedPrompts, HooksRunWhileThePromptIsUp) {
  ui::ScriptedPrompts prompts;
  std::string seenQuestion, seenNotice;
  prompts.Answer(true, [&](const PromptRecord& p) {
    seenQuestion = p.text;
    // A notice raised from inside the question is recorded after it.
    prompts.Inform("inner", "c");
  });
  prompts.OnNotice([&](const PromptRecord& p) { seenNotice = p.text; });
  EXPECT_TRUE(prompts.AskYesNo("outer?", "c", PromptIcon::kQuestion));
  EXPECT_EQ(seenQuestion, "outer?");
  EXPECT_EQ(seenNotice, "inner");
  EXPECT_EQ(prompts.Texts(), (std::vector<std::string>{"outer?", "inner"}));
}

}  // namespace

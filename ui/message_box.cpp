#include "ui/message_box.h"
#include "ui/testing.h"

namespace telvane {

namespace {

std::function<void(const std::u16string&)>& Hook() {
    static std::function<void(const std::u16string&)> hook;
    return hook;
}

bool& QuestionAnswer() {
    static bool yes = false;
    return yes;
}

}  // namespace

void SetMessageBoxHookForTesting(std::function<void(const std::u16string&)> hook) {
    Hook() = std::move(hook);
    if (!Hook()) QuestionAnswer() = false;
}

void SetQuestionAnswerForTesting(bool yes) {
    QuestionAnswer() = yes;
}

std::optional<bool> HookedAnswer(std::u16string_view text) {
    if (!Hook()) return std::nullopt;
    Hook()(std::u16string(text));
    return QuestionAnswer();
}

}  // namespace telvane

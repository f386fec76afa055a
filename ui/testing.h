#pragma once

// Seams for tests: the message boxes answered without being shown. Production code
// never calls them.

#include <functional>
#include <string>

namespace telvane {

// While a hook is set, no box is shown: the hook receives each text and the call
// returns at once, as if OK had been pressed. An empty function restores the box.
void SetMessageBoxHookForTesting(std::function<void(const std::u16string&)> hook);
// While the hook is set, a question goes to it too and is answered with yes: No (false)
// unless a test says otherwise. Clearing the hook sets the answer back to No.
void SetQuestionAnswerForTesting(bool yes);

}  // namespace telvane

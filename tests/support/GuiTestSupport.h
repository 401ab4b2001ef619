#pragma once

// Helpers of the tests that make widgets (offscreen).

#include <QWidget>

#include <functional>

namespace UlxTest {

// Answers the next modal dialog as soon as it is open: AAnswer gets the dialog
// (for example to pick a row and accept). Call it before the code that runs the
// dialog's own event loop. A dialog that never opens within ATimeoutMs is
// reported by the returned flag staying false.
std::shared_ptr<bool> AnswerNextModal(std::function<void(QWidget*)> AAnswer, int ATimeoutMs = 5000);

} // namespace UlxTest

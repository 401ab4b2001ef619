#include "GuiTestSupport.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <memory>

namespace UlxTest {

std::shared_ptr<bool> AnswerNextModal(std::function<void(QWidget*)> AAnswer, int ATimeoutMs)
{
    auto answered = std::make_shared<bool>(false);
    auto* poll = new QTimer(qApp);
    const QDeadlineTimer deadline(ATimeoutMs);
    QObject::connect(poll, &QTimer::timeout, [poll, answered, deadline, AAnswer = std::move(AAnswer)] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            *answered = true;
            AAnswer(modal);
        } else if (deadline.hasExpired()) {
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start(10);
    return answered;
}

} // namespace UlxTest

#include "device/FlashOutcome.h"

#include "device/DialogueText.h"

FlashOutcome::FlashOutcome(Failure failure, bool begun, int block, int blockTotal)
    : why(failure), begun(begun), atBlock(block), total(blockTotal)
{
}

QString FlashOutcome::reason() const
{
    switch (why) {
    case Failure::None:
        break;
    case Failure::NotConnected:
        return DialogueText::noConnection();
    case Failure::ImageTooLarge:
        return DialogueText::tooLarge();
    case Failure::WriteError:
        return DialogueText::writeError();
    case Failure::NoReply:
        return DialogueText::noReply();
    case Failure::LineError:
        return DialogueText::lineLost();
    case Failure::SendTimeout:
        return DialogueText::sendTimeout();
    case Failure::Interrupted:
        return DialogueText::interrupted();
    }
    return {};
}

QString FlashOutcome::text() const
{
    if (isWritten())
        return DialogueText::written();
    return begun ? DialogueText::stoppedAtBlock(reason(), atBlock, total) : DialogueText::notWritten(reason());
}

QString FlashOutcome::shortText() const
{
    if (isWritten())
        return DialogueText::blockProgress(total, total);
    return begun ? DialogueText::stoppedAtBlockShort(atBlock, total) : reason();
}

QString FlashOutcome::advice() const
{
    return leftInstrumentWaiting() ? DialogueText::switchOffAndOn() : QString();
}

QString FlashOutcome::fullText() const
{
    const QString next = advice();
    return next.isEmpty() ? text() : text() + QStringLiteral(". ") + next;
}

QString FlashOutcome::briefReason() const
{
    switch (why) {
    case Failure::NoReply:
        return DialogueText::noReplyBrief();
    case Failure::LineError:
        return DialogueText::lineLostBrief();
    case Failure::WriteError:
        return DialogueText::writeErrorBrief();
    case Failure::SendTimeout:
        return DialogueText::sendTimeoutBrief();
    case Failure::Interrupted:
        return DialogueText::interruptedBrief();
    case Failure::None:
    case Failure::NotConnected:
    case Failure::ImageTooLarge:
        break;
    }
    return reason();
}

QString FlashOutcome::statusText() const
{
    if (leftInstrumentWaiting())
        return DialogueText::switchOffAndOnBrief(briefReason());
    return text();
}

QString FlashOutcome::code() const
{
    switch (why) {
    case Failure::None:
        break;
    case Failure::NotConnected:
        return QStringLiteral("not_connected");
    case Failure::ImageTooLarge:
        return QStringLiteral("too_large");
    case Failure::WriteError:
        return QStringLiteral("write_error");
    case Failure::NoReply:
        return QStringLiteral("no_reply");
    case Failure::LineError:
        return QStringLiteral("line_lost");
    case Failure::SendTimeout:
        return QStringLiteral("send_timeout");
    case Failure::Interrupted:
        return QStringLiteral("interrupted");
    }
    return {};
}

FlashOutcome FlashOutcome::ofCode(const QString &code, int block, int blockTotal)
{
    for (const Failure failure : {Failure::NotConnected, Failure::ImageTooLarge, Failure::WriteError,
                                  Failure::NoReply, Failure::LineError, Failure::SendTimeout,
                                  Failure::Interrupted}) {
        // A block reached means the start command went out.
        const FlashOutcome outcome(failure, block > 0, block, blockTotal);
        if (outcome.code() == code)
            return outcome;
    }
    return {};
}

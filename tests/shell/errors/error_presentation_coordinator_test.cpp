#include "shell/errors/ErrorPresentationCoordinator.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

const TallowindError a = TallowindError::recordingFailed("A");
const TallowindError b = TallowindError::networkError("B");
const TallowindError c = TallowindError::modelLoadFailed("C");

QStringList descriptions(const QList<TallowindError>& errors)
{
    QStringList texts;
    for (const TallowindError& error : errors)
        texts << error.errorDescription();
    return texts;
}

} // namespace

TEST(ErrorPresentationCoordinator, AlertWorthyErrorsTakeTurnsInArrivalOrder)
{
    ErrorPresentationCoordinator coordinator;
    coordinator.present(a);
    coordinator.present(b);
    coordinator.present(c);
    ASSERT_EQ(coordinator.currentError(), a);
    EXPECT_EQ(descriptions(coordinator.queuedErrors()), descriptions({b, c}));

    QSignalSpy changes(&coordinator, &ErrorPresentationCoordinator::currentErrorChanged);
    coordinator.dismissCurrentError();
    EXPECT_EQ(coordinator.currentError(), b);
    // Observers see the alert close, then the next one open.
    ASSERT_EQ(changes.count(), 2);
    EXPECT_FALSE(changes.at(0).at(0).value<std::optional<TallowindError>>().has_value());
    coordinator.dismissCurrentError();
    EXPECT_EQ(coordinator.currentError(), c);
    coordinator.dismissCurrentError();
    EXPECT_FALSE(coordinator.currentError().has_value());
    EXPECT_TRUE(coordinator.queuedErrors().isEmpty());

    // The same error twice is shown twice.
    coordinator.present(a);
    coordinator.present(a);
    coordinator.dismissCurrentError();
    EXPECT_EQ(coordinator.currentError(), a);
    coordinator.dismissCurrentError();
    // With no alert up, a dismissal still announces a change.
    changes.clear();
    coordinator.dismissCurrentError();
    EXPECT_EQ(changes.count(), 1);
    EXPECT_FALSE(coordinator.currentError().has_value());
}

TEST(ErrorPresentationCoordinator, EmptyResultBecomesAToastAndLeavesTheAlertAlone)
{
    ErrorPresentationCoordinator coordinator;
    coordinator.present(a);
    coordinator.present(b);
    QSignalSpy toastChanges(&coordinator, &ErrorPresentationCoordinator::toastErrorsChanged);
    QSignalSpy alertChanges(&coordinator, &ErrorPresentationCoordinator::currentErrorChanged);
    coordinator.present(TallowindError::emptyTranscriptionResult());
    EXPECT_EQ(toastChanges.count(), 1);
    EXPECT_EQ(alertChanges.count(), 0);
    EXPECT_EQ(coordinator.currentError(), a);
    EXPECT_EQ(descriptions(coordinator.queuedErrors()), descriptions({b}));
    EXPECT_EQ(descriptions(coordinator.toastErrors()), descriptions({TallowindError::emptyTranscriptionResult()}));
}

TEST(ErrorPresentationCoordinator, WritingTheAlertDirectlyBypassesTheQueue)
{
    ErrorPresentationCoordinator coordinator;
    coordinator.present(a);
    coordinator.present(b);
    coordinator.setCurrentError(std::nullopt);
    // B still waits; a new error goes straight up, ahead of it.
    coordinator.present(c);
    EXPECT_EQ(coordinator.currentError(), c);
    coordinator.dismissCurrentError();
    EXPECT_EQ(coordinator.currentError(), b);
}

TEST(ErrorPresentationCoordinator, DismissToastRemovesEveryToastWithTheSameText)
{
    ErrorPresentationCoordinator coordinator;
    const TallowindError empty = TallowindError::emptyTranscriptionResult();
    const TallowindError other = TallowindError::genericError("other");
    coordinator.setToastErrors({empty, other, empty, a});
    QSignalSpy changes(&coordinator, &ErrorPresentationCoordinator::toastErrorsChanged);
    coordinator.dismissToast(TallowindError::emptyTranscriptionResult());
    EXPECT_EQ(descriptions(coordinator.toastErrors()), descriptions({other, a}));
    // No match: the list stays, and the change is still announced.
    coordinator.dismissToast(TallowindError::genericError("nothing like it"));
    EXPECT_EQ(descriptions(coordinator.toastErrors()), descriptions({other, a}));
    EXPECT_EQ(changes.count(), 2);
}

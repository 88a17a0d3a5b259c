// Windows' console events as the handler decides them, on answers recorded from the system: what
// each event does in a service's session and in a user's, how long the system waits, and the
// status the process ends with when main's save and the handler's deadline race.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/console_events.hpp"

TEST(ConsoleEvents, EachEventInAServicesSessionAndInAUsersSession) {
    for (const session_answer& session : {session_answer{0u}, session_answer{1u}, session_answer{7u}, session_answer{}}) {
        const bool service = session == 0u;
        for (const console_event event : {console_event::ctrl_c, console_event::ctrl_break}) {
            const event_response response = respond_to(event, session);
            EXPECT_EQ(response.action, event_action::interrupt);
            EXPECT_EQ(response.exit_status, 130);
        }
        const event_response close = respond_to(console_event::close, session);
        EXPECT_EQ(close.action, event_action::end_before_deadline);
        EXPECT_EQ(close.exit_status, 129);
        EXPECT_EQ(close.budget, time_budget::hung_app);
        // A service, or a task run as SYSTEM, is given the services' time at a shutdown.
        const event_response shutdown = respond_to(console_event::shutdown, session);
        EXPECT_EQ(shutdown.action, event_action::end_before_deadline);
        EXPECT_EQ(shutdown.exit_status, 129);
        EXPECT_EQ(shutdown.budget, service ? time_budget::wait_to_kill_service : time_budget::wait_to_kill_app);
        // Nothing tells whose log-off it is: no session's run ends at another user's.
        EXPECT_EQ(respond_to(console_event::logoff, session).action, event_action::keep_running);
        EXPECT_EQ(respond_to(console_event::other, session).action, event_action::pass_on);
    }
}

TEST(ConsoleEvents, BudgetsAreTheRegistrysValuesOrTheDocumentedDefaults) {
    EXPECT_EQ(budget_ms(time_budget::hung_app, std::nullopt), 5000u);
    EXPECT_EQ(budget_ms(time_budget::wait_to_kill_app, std::nullopt), 20000u);
    EXPECT_EQ(budget_ms(time_budget::wait_to_kill_service, std::nullopt), 20000u);
    EXPECT_EQ(budget_ms(time_budget::hung_app, std::string("2000")), 2000u);
    EXPECT_EQ(budget_ms(time_budget::wait_to_kill_service, std::string(" 5000 ")), 5000u);
    EXPECT_EQ(budget_ms(time_budget::wait_to_kill_app, std::string("0")), 0u);
    // What no Windows component would read as milliseconds counts as absent.
    for (const char* text : {"", "abc", "12abc", "-1", "1.5", "99999999999"})
        EXPECT_EQ(budget_ms(time_budget::wait_to_kill_app, std::string(text)), 20000u) << text;

    EXPECT_EQ(usable_ms(5000), 4500u);
    EXPECT_EQ(usable_ms(20000), 19500u);
    // A budget too short for the margin is halved: the handler still ends before Windows does.
    EXPECT_EQ(usable_ms(800), 400u);
    EXPECT_EQ(usable_ms(0), 0u);
}

TEST(ConsoleEvents, TheStatusIsDecidedOnceWhoeverEndsTheProcess) {
    {
        closing_end end;
        // Main saved during a close: it ends the process with its status, and so would the handler.
        EXPECT_EQ(status_after_saving(end, 129, true), 129);
        EXPECT_EQ(status_at_deadline(end, 129), 129);
    }
    {
        closing_end end;
        // A run that failed on its own is closing: its failure's status stands.
        EXPECT_EQ(status_after_saving(end, 1, true), 1);
        EXPECT_EQ(status_at_deadline(end, 129), 1);
    }
    {
        closing_end end;
        // A run that completed ends as usual; a close during its exit ends it with the same status.
        EXPECT_EQ(status_after_saving(end, 0, false), -1);
        EXPECT_EQ(status_at_deadline(end, 129), 0);
    }
    {
        closing_end end;
        // The deadline came first: main, saving late, ends with the handler's status.
        EXPECT_EQ(status_at_deadline(end, 129), 129);
        EXPECT_EQ(status_after_saving(end, 1, true), 129);
        EXPECT_EQ(status_after_saving(end, 1, false), 129);
    }

    // Main and the handler at the same moment, many times over: both always name one status,
    // and main goes on to end the process itself only when it alone decided.
    for (int round = 0; round < 2000; ++round) {
        closing_end end;
        std::atomic<bool> go{false};
        int from_main = -2;
        int from_handler = -2;
        const bool closing = round % 2 == 0;
        const int saved_status = round % 3 == 0 ? 1 : 129;
        std::thread main_thread([&] {
            while (!go.load()) std::this_thread::yield();
            from_main = status_after_saving(end, saved_status, closing);
        });
        std::thread handler([&] {
            while (!go.load()) std::this_thread::yield();
            from_handler = status_at_deadline(end, 129);
        });
        go.store(true);
        main_thread.join();
        handler.join();
        if (from_main == -1) {
            ASSERT_FALSE(closing);
            ASSERT_EQ(from_handler, saved_status) << round;
        } else {
            ASSERT_EQ(from_main, from_handler) << round;
        }
    }
}

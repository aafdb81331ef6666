// Waiting for the window's workers from a benchmark's UI thread. It sleeps in
// the event loop rather than spinning: on two cores a spinning UI thread would
// take the time from the workers it waits for.
#pragma once

#include <chrono>
#include <functional>

#include <QEventLoop>
#include <QTimer>

// True once done() holds; false when patience ran out first.
inline bool SleepInEventLoopUntil(const std::function<bool()>& done, std::chrono::seconds patience)
{
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QEventLoop loop;
        QTimer::singleShot(1, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// Switches the process time zone (TZ) for one test and restores it afterwards, so
// tests that depend on local time run under a zone with summer time instead of the
// UTC the test runner sets.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace testing_support {

class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const std::string& tz) {
        if (const char* old = std::getenv("TZ")) saved_ = old;
        ::setenv("TZ", tz.c_str(), 1);
        ::tzset();
    }
    ~ScopedTimeZone() {
        if (saved_)
            ::setenv("TZ", saved_->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<std::string> saved_;
};

// Central Europe: UTC+1 in winter, UTC+2 from the last Sunday of March to the last
// Sunday of October.
inline constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

} // namespace testing_support

#pragma once

#include <chrono>

// Pace of the device search: one short step per tick, never blocking.
namespace SearchTiming {
constexpr std::chrono::milliseconds FirstStep{200};
constexpr std::chrono::milliseconds AfterUnavailablePort{100};
// The instrument's whole eight-byte reply must be in by then.
constexpr std::chrono::milliseconds ReplyWait{300};
constexpr std::chrono::milliseconds AfterRefusedReply{200};
} // namespace SearchTiming

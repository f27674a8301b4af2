// What the engine asks of its host while a run is in progress. The GUI installs
// real handlers; the CLI and tests keep the defaults (no-ops / "Cancel").
#pragma once

#include <functional>
#include <string>

namespace platform {

// Lets pending window messages be processed. Called at coarse points of a run
// (progress steps, between entries, from the Cancel setter), never per byte.
void ProcessMessages();
void SetProcessMessagesHook(std::function<void()> hook);

// The retry prompt for an unreadable drive: error icon, Retry and Cancel buttons.
// Returns true for Retry. Without a host handler the answer is Cancel.
bool AskRetry(const std::string& text);
void SetAskRetryHook(std::function<bool(const std::string&)> hook);

} // namespace platform

// The host's handlers for message pumping and the retry prompt. Each is kept
// behind a mutex and copied out before the call, so a handler may replace itself
// and a worker thread never sees a half-assigned std::function.
#include "platform/HostHooks.h"

#include <mutex>

namespace platform {

namespace {

template <typename Hook> class HookSlot {
public:
    void Set(Hook hook) {
        std::lock_guard lock(mutex_);
        hook_ = std::move(hook);
    }
    Hook Get() {
        std::lock_guard lock(mutex_);
        return hook_;
    }

private:
    std::mutex mutex_;
    Hook hook_;
};

HookSlot<std::function<void()>>& ProcessMessagesSlot() {
    static HookSlot<std::function<void()>> slot;
    return slot;
}

HookSlot<std::function<bool(const std::string&)>>& AskRetrySlot() {
    static HookSlot<std::function<bool(const std::string&)>> slot;
    return slot;
}

} // namespace

void ProcessMessages() {
    if (const auto hook = ProcessMessagesSlot().Get()) hook();
}

void SetProcessMessagesHook(std::function<void()> hook) {
    ProcessMessagesSlot().Set(std::move(hook));
}

bool AskRetry(const std::string& text) {
    const auto hook = AskRetrySlot().Get();
    return hook ? hook(text) : false; // no host to ask: Cancel
}

void SetAskRetryHook(std::function<bool(const std::string&)> hook) {
    AskRetrySlot().Set(std::move(hook));
}

} // namespace platform

// The integrity tester: tests any testable archive by running the extractor of
// its type without output, and reports each entry as passed or failed.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/vroUnBase.h"

namespace vro {

class TZipCheck : public TUnBase {
public:
    TZipCheck();

    // Each entry's result (Sender is the inner extractor), then its end.
    std::function<void(Sender, const std::string& FN, bool PassFail)> OnStatus;
    // Replaces the extractors' end event, which carries the result in OnStatus.
    std::function<void(Sender, const std::string& FN)> OnEnd;

    // Tests ArchiveFile. False when the test could not run (the reason went to
    // OnError); entry failures show in OnStatus.
    bool TestArchive();
    // Cancelling the tester cancels the extractor it is running.
    void SetCancel(bool value) override;

private:
    void Wire(TUnBase& inner);
    TUnBase* inner_ = nullptr;
};

} // namespace vro

#include "engine/vroZipCheck.h"

#include "engine/vroExtractors.h"

namespace vro {

// The tester finds ZIP end records behind comments as the catalogue does.
TZipCheck::TZipCheck() { SetZipCmntBufSize(kCatalogueCommentWindow); }

void TZipCheck::SetCancel(bool value) {
    TUnBase::SetCancel(value);
    if (inner_) inner_->SetCancel(value);
}

// The inner extractor runs in test mode: its output goes nowhere while its CRC is
// kept, and its events reach the tester's host.
void TZipCheck::Wire(TUnBase& inner) {
    inner.UseStoredDirs = false;
    inner.SetArchiveFile(ArchiveFile());
    inner.SetFileSpec(FileSpec());
    inner.SetPasswords(Passwords());
    inner.PasswordAttempts = PasswordAttempts;
    inner.ProgressNotify = ProgressNotify;
    inner.OnBegin = OnBegin;
    inner.OnActivate = OnActivate;
    inner.OnDeactivate = OnDeactivate;
    inner.OnError = OnError;
    inner.OnGetPassword = OnGetPassword;
    inner.OnProgress = OnProgress;
    inner.OnCorruptZipHeader = OnCorruptZipHeader;
    inner.OnNextVolume = OnNextVolume;
    inner.TZipCommon::OnEnd = [this](TZipCommon& sender, const std::string& fn, bool pass) {
        OnStatus(sender, fn, pass);
        if (OnEnd) OnEnd(sender, fn);
    };
}

bool TZipCheck::TestArchive() {
    BeginRun();
    try {
        if (ArchiveFile().empty() || !IsTestable(ArcType()))
            RaiseError(E_INVALIDARCTYPE, ArchiveFile());
        if (!OnStatus) RaiseError(E_REQUIREDEVENT, ArchiveFile(), "OnStatus");
    } catch (const EVroError&) {
        return false;
    }
    RecNum = 0;
    if (OnElapsedTime) Timer().Start();

    bool ran = false;
    std::unique_ptr<TUnBase> inner = MakeExtractor(ArcType());
    if (!inner) {
        ReportError(E_INVALIDARCTYPE, ArchiveFile());
    } else {
        Wire(*inner);
        inner_ = inner.get();
        ran = inner->Test();
        inner_ = nullptr;
        SetPasswords(inner->Passwords()); // keep what the host taught it
    }
    Timer().Stop();
    if (OnElapsedTime) OnElapsedTime(*this, Timer().ElapsedTime());
    return ran;
}

} // namespace vro

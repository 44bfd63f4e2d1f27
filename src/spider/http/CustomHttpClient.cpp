#include "CustomHttpClient.h"

#include "HttpEngine.h"
#include "HttpRequestOptions.h"
#include "HttpTransfer.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <limits>
#include <utility>

namespace {

long long NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

TCustomHttpClient::TCustomHttpClient() : m_Engine(THttpEngine::Acquire()) {}

TCustomHttpClient::~TCustomHttpClient() {
    // A running transfer is given up without a word; the engine drops it.
    if (m_Transfer)
        m_Engine->Kill(*m_Transfer);
    m_Transfer.reset();
}

template <typename F> void TCustomHttpClient::Raise(F&& call) {
    try {
        call();
    } catch (...) {
    }
}

void TCustomHttpClient::SetTransferBufferSize(long long value) {
    m_TransferBufferSize =
        static_cast<int>(std::clamp<long long>(value, 255, std::numeric_limits<int>::max()));
}

bool TCustomHttpClient::Succeeded() const {
    return m_Transfer && m_Transfer->Succeeded;
}

const THttpHeaderInfo& TCustomHttpClient::HeaderInfo() const {
    static const THttpHeaderInfo none;
    return m_Transfer ? m_Transfer->HeaderInfo : none;
}

const std::string& TCustomHttpClient::FailureText() const {
    static const std::string none;
    return m_Transfer ? m_Transfer->FailureText : none;
}

const std::string& TCustomHttpClient::HeldRedirect() const {
    static const std::string none;
    return m_Transfer ? m_Transfer->HeldRedirect : none;
}

int TCustomHttpClient::HTTPStatus() const {
    return m_Transfer ? m_Transfer->HTTPStatus.load() : -1;
}

bool TCustomHttpClient::BeginDownload(unsigned long long resumeFrom, unsigned long long rangeEnd,
                                      bool forceWait) {
    if (m_Busy || m_TransferActive)
        return false;
    m_TransferActive = true;
    m_Busy = true;
    if (!m_CookieJar)
        m_CookieJar = std::make_shared<THttpCookieJar>();
    auto transfer = std::make_shared<THttpTransfer>(*this, *m_Engine);
    transfer->ResumeFrom = resumeFrom;
    transfer->RangeEnd = rangeEnd;
    m_Transfer = transfer;
    m_LastEventMs = NowMs();
    if (transfer->Begin())
        m_Engine->Start(transfer);
    else
        m_Engine->Post(transfer, [this, transfer] { TransferEnded(transfer); });
    if (!forceWait && !m_WaitThread)
        return true;
    return Wait(transfer);
}

bool TCustomHttpClient::Wait(const std::shared_ptr<THttpTransfer>& transfer) {
    // The ticks wake the wait to look at the time when nothing arrives.
    QTimer tick;
    if (m_WaitTimeout != 0)
        tick.start(static_cast<int>(std::clamp<unsigned>(m_WaitTimeout / 4, 1, 100)));
    while (m_Transfer == transfer && m_Busy && !transfer->Killed()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (m_WaitTimeout != 0 && m_Transfer == transfer && m_Busy && !transfer->Killed() &&
            NowMs() - m_LastEventMs > static_cast<long long>(m_WaitTimeout)) {
            if (WaitTimeoutExpired())
                return false;
            m_LastEventMs = NowMs();
        }
    }
    return !transfer->Killed();
}

void TCustomHttpClient::CancelTransfer(bool deleteOutputFile, bool immediately) {
    // Once the outcome is being reported there is nothing left to stop.
    if (!m_TransferActive || !m_Transfer || m_Transfer->Killed())
        return;
    m_Transfer->DeleteOnStop = deleteOutputFile;
    if (!immediately) {
        m_Engine->Stop(*m_Transfer);
        return;
    }
    // The transfer is given up; the engine drops it, and nothing of it is
    // reported any more.
    m_Engine->Kill(*m_Transfer);
    if (deleteOutputFile)
        m_Transfer->DeleteOutputFile();
    Aborted();
}

void TCustomHttpClient::Aborted() {
    m_TransferActive = false;
    m_Busy = false;
    Raise([&] {
        if (OnAborted)
            OnAborted(this);
    });
}

void TCustomHttpClient::TransferEnded(const std::shared_ptr<THttpTransfer>& transfer) {
    if (transfer != m_Transfer)
        return;
    m_LastEventMs = NowMs();
    THttpTransfer& t = *transfer;
    if (t.Stopped()) {
        t.CloseHandles();
        if (t.DeleteOnStop)
            t.DeleteOutputFile();
        t.Target.reset();
        Aborted();
        return;
    }
    if (t.Failed())
        ReportAnyError();
    FinishTransfer(t);
}

void TCustomHttpClient::ReportAnyError() {
    Raise([&] {
        if (OnAnyError)
            OnAnyError(this);
    });
}

bool TCustomHttpClient::WaitTimeoutExpired() {
    bool terminateThread = true;
    Raise([&] {
        if (OnWaitTimeoutExpired)
            OnWaitTimeoutExpired(this, terminateThread);
    });
    if (!terminateThread)
        return false;
    // The transfer is given up and the client is free again; it ends as a
    // stop.
    if (m_Transfer)
        m_Engine->Kill(*m_Transfer);
    Aborted();
    return true;
}

void TCustomHttpClient::FinishTransfer(THttpTransfer& transfer) {
    THttpTransfer* t = &transfer;
    // 1
    t->CloseHandles();
    if (t->Target)
        t->Target->Seek(0);
    m_TransferActive = false;
    const bool continueDownload = t->ContinueDownload;
    // 2
    if (continueDownload) {
        auto anyError = [&] {
            Raise([&] {
                if (OnAnyError)
                    OnAnyError(this);
            });
        };
        const std::int64_t resume = static_cast<std::int64_t>(t->ResumeFrom);
        if (t->Succeeded) {
            if (!t->Target && (resume == 0 || t->OutputFileFailed)) {
                anyError();
                Raise([&] {
                    if (OnOutputFileError)
                        OnOutputFileError(this);
                });
            } else {
                // A finished output file is closed; the event gets no stream.
                TStream* stream = t->TargetIsFile ? nullptr : t->Target.get();
                Raise([&] {
                    if (OnDone)
                        OnDone(this, t->ContentTypeText, t->Received + resume, stream);
                });
            }
        } else {
            anyError();
            const int status = t->HTTPStatus;
            if (status == 200 || status == 206) {
                Raise([&] {
                    if (OnConnLost)
                        OnConnLost(this, t->ContentTypeText, t->Announced, t->Received,
                                   t->Target.get());
                });
            } else if (status == -1) {
                Raise([&] {
                    if (OnHostUnreachable)
                        OnHostUnreachable(this);
                });
            } else {
                Raise([&] {
                    if (OnHTTPError)
                        OnHTTPError(this, status, t->Target.get());
                });
                t->DeleteOutputFile();
            }
        }
    }
    // 3
    t->Target.reset();
    m_Busy = false;
    // 4
    if (!continueDownload)
        Raise([&] {
            if (OnDoneInterrupted)
                OnDoneInterrupted(this);
        });
}

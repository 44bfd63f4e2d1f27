#include "CustomHttpClient.h"

#include "HttpTransfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <limits>
#include <mutex>
#include <utility>

namespace {

void InitLibraryOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::shared_ptr<THttpTransfer> TransferOf(TEventWorkerThread& thread) {
    return std::static_pointer_cast<THttpTransfer>(thread.Context);
}

} // namespace

TCustomHttpClient::TCustomHttpClient() {
    InitLibraryOnce();
    m_Worker.OnExecute = [this](TEventWorkerThread& t) { RunTransfer(t); };
    m_Worker.OnFinish = [this](TEventWorkerThread& t) { FinishTransfer(t); };
    m_Worker.OnError = [this](TEventWorkerThread& t, std::exception_ptr) { WorkerError(t); };
    m_Worker.OnWaitTimeout = [this](bool& terminate) { WaitTimeoutExpired(terminate); };
}

TCustomHttpClient::~TCustomHttpClient() {
    // Workers hand their library handles back here, so they end first.
    m_Worker.Shutdown();
    m_Transfer.reset();
    if (m_IdleHandle)
        curl_easy_cleanup(m_IdleHandle);
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

int TCustomHttpClient::HTTPStatus() const {
    return m_Transfer ? m_Transfer->HTTPStatus.load() : -1;
}

CURL* TCustomHttpClient::AcquireHandle() {
    {
        std::lock_guard lock(m_HandleLock);
        if (m_IdleHandle)
            return std::exchange(m_IdleHandle, nullptr);
    }
    return curl_easy_init();
}

void TCustomHttpClient::ReleaseHandle(CURL* handle) {
    std::lock_guard lock(m_HandleLock);
    if (!m_IdleHandle)
        m_IdleHandle = handle;
    else
        curl_easy_cleanup(handle);
}

bool TCustomHttpClient::BeginDownload(unsigned long long resumeFrom, unsigned long long rangeEnd,
                                      bool forceWait) {
    if (m_Busy || m_TransferActive)
        return false;
    m_TransferActive = true;
    m_Busy = true;
    auto transfer = std::make_shared<THttpTransfer>(*this);
    transfer->ResumeFrom = resumeFrom;
    transfer->RangeEnd = rangeEnd;
    m_Transfer = transfer;
    return m_Worker.Start(transfer, forceWait || m_WaitThread, m_WaitTimeout);
}

void TCustomHttpClient::CancelTransfer(bool deleteOutputFile, bool immediately) {
    // Once the outcome is being reported there is nothing left to stop.
    if (!m_TransferActive || !m_Worker.Running() || !m_Transfer)
        return;
    m_Transfer->DeleteOnStop = deleteOutputFile;
    if (!immediately) {
        m_Worker.Stop();
        return;
    }
    // The worker is given up; it closes what it holds when it sees the stop
    // and hands nothing over any more.
    m_Worker.Kill();
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

void TCustomHttpClient::RunTransfer(TEventWorkerThread& thread) {
    auto transfer = TransferOf(thread);
    try {
        transfer->Run(thread);
    } catch (const EStopTransfer&) {
        transfer->CloseHandles();
        if (transfer->DeleteOnStop)
            transfer->DeleteOutputFile();
        transfer->Target.reset();
        thread.RunInUIThread([this] { Aborted(); });
        thread.EndWithoutFinish();
    }
}

void TCustomHttpClient::WorkerError(TEventWorkerThread&) {
    Raise([&] {
        if (OnAnyError)
            OnAnyError(this);
    });
}

void TCustomHttpClient::FinishTransfer(TEventWorkerThread& thread) {
    auto t = TransferOf(thread);
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

void TCustomHttpClient::WaitTimeoutExpired(bool& terminateThread) {
    terminateThread = true;
    Raise([&] {
        if (OnWaitTimeoutExpired)
            OnWaitTimeoutExpired(this, terminateThread);
    });
    if (!terminateThread)
        return;
    // The worker is killed right after this; the client is free again and
    // the transfer ends as a stop.
    m_Worker.Kill();
    Aborted();
}

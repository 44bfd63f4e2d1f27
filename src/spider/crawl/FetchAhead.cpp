#include "FetchAhead.h"

#include "FetchRoutines.h"

#include <algorithm>

namespace tessaly {

TFetchAhead::~TFetchAhead() {
    Reset();
}

void TFetchAhead::SetDepth(int depth) {
    m_Depth = std::max(0, depth);
}

void TFetchAhead::Fill(const TSpiderQueue& queue, const TFileFetcher& settings,
                       const TWillFetch& willFetch) {
    while (m_Ahead < m_Depth && m_Slots.size() < queue.Size()) {
        if (MayStart && !MayStart())
            break;
        const std::size_t index = m_Slots.size();
        if (!willFetch(queue.FullAt(index), queue.BareAt(index))) {
            m_Slots.push_back(nullptr);
            continue;
        }
        if (m_Free.empty()) {
            m_Fetchers.push_back(std::make_unique<TFileFetcher>());
            m_Free.push_back(m_Fetchers.back().get());
        }
        TFileFetcher* fetcher = m_Free.back();
        m_Free.pop_back();
        fetcher->CopySettings(settings);
        if (OnStarted)
            OnStarted();
        fetcher->BeginFetch(EncodeURLForFetch(queue.FullAt(index)));
        m_Slots.push_back(fetcher);
        ++m_Ahead;
    }
}

TFileFetcher* TFetchAhead::Take() {
    if (m_Slots.empty())
        return nullptr;
    TFileFetcher* fetcher = m_Slots.front();
    m_Slots.pop_front();
    if (fetcher)
        --m_Ahead;
    return fetcher;
}

void TFetchAhead::Release(TFileFetcher* fetcher) {
    if (fetcher)
        m_Free.push_back(fetcher);
}

void TFetchAhead::Reset() {
    for (TFileFetcher* fetcher : m_Slots) {
        if (!fetcher)
            continue;
        if (fetcher->Busy())
            fetcher->CancelFetch();
        m_Free.push_back(fetcher);
    }
    m_Slots.clear();
    m_Ahead = 0;
}

} // namespace tessaly

#pragma once
// The two ways the fetcher fetches a page: one at a time by FetchPage, and
// as one of the downloads that run side by side for a crawl's pages ahead.
// Tests run their expectations both ways: the results must not differ.
#include "FileFetcher.h"
#include "ParallelDownloads.h"

#include <gtest/gtest.h>

#include <string>

enum class FetchWay { OneByOne, SideBySide };

inline void FetchBy(FetchWay way, tessaly::TFileFetcher& fetcher, TParallelDownloads& downloads,
                    const std::string& url) {
    if (way == FetchWay::OneByOne) {
        fetcher.FetchPage(url);
        return;
    }
    fetcher.BeginFetch(url, &downloads);
    fetcher.WaitForOutcome();
    fetcher.EndFetch();
}

inline std::string FetchWayName(const ::testing::TestParamInfo<FetchWay>& info) {
    return info.param == FetchWay::OneByOne ? "OneByOne" : "SideBySide";
}

#define INSTANTIATE_FETCH_WAYS(Suite)                                                              \
    INSTANTIATE_TEST_SUITE_P(                                                                      \
        Ways, Suite, ::testing::Values(FetchWay::OneByOne, FetchWay::SideBySide), FetchWayName)
